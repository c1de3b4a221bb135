#include "common/userpath.h"

#include <QDir>

QString UserPath::absolute(const QString& path)
{
    return absolute(path, QDir::homePath());
}

QString UserPath::absolute(const QString& path, const QString& base)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    if (path == QStringLiteral("~"))
        return QDir::homePath();
    if (path.startsWith(QStringLiteral("~/")))
        return QDir::cleanPath(QDir::homePath() + path.mid(1));
    return QDir::cleanPath(base + QLatin1Char('/') + path);
}
