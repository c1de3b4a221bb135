#include "settings/musicfolder.h"

#include <QDir>
#include <QFile>
#include <QList>

namespace {
// A value as the shell would read it between double quotes: a backslash keeps the next
// character as it is.
QString unquoted(const QByteArray& value)
{
    QByteArray text = value.trimmed();
    if (text.size() < 2 || !text.startsWith('"'))
        return QString();
    QByteArray plain;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"')
            return QString::fromUtf8(plain);
        if (c == '\\' && i + 1 < text.size())
            plain.append(text.at(++i));
        else
            plain.append(c);
    }
    return QString(); // no closing quote: a damaged line
}
} // namespace

QString MusicFolder::userDirsPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/user-dirs.dirs");
}

QString MusicFolder::path()
{
    QFile file(userDirsPath());
    if (file.open(QIODevice::ReadOnly)) {
        const QString named = fromUserDirs(file.read(64 * 1024), QDir::homePath());
        if (!named.isNull())
            return named;
    }
    return QDir::homePath() + QStringLiteral("/Music");
}

QString MusicFolder::fromUserDirs(const QByteArray& text, const QString& home)
{
    static const QByteArray key = QByteArrayLiteral("XDG_MUSIC_DIR=");
    QString found;
    // The last assignment wins, as when the shell sources the file.
    for (const QByteArray& rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith(key))
            found = unquoted(line.mid(key.size()));
    }
    QString folder;
    if (found.startsWith(QLatin1Char('/')))
        folder = found;
    else if (found.startsWith(QLatin1String("$HOME/")))
        folder = home + found.mid(5);
    else
        return QString();
    folder = QDir::cleanPath(folder);
    return folder == QDir::cleanPath(home) ? QString() : folder;
}
