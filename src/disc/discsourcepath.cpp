#include "disc/discsourcepath.h"

#include <QFileInfo>

bool DiscSourcePath::isImage(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return (suffix == QLatin1String("cue") || suffix == QLatin1String("toc")) && QFileInfo(path).isFile();
}

bool DiscSourcePath::isDisc(const QString& path)
{
    if (isImage(path))
        return true;
    // A device node, not a folder or a plain file: /dev/sr0, /dev/cdrom (a link to it).
    const QFileInfo info(path);
    return path.startsWith(QLatin1String("/dev/")) && info.exists() && !info.isDir() && !info.isFile();
}

QString DiscSourcePath::trackName(int number)
{
    return QStringLiteral("Track %1").arg(number);
}

int DiscSourcePath::trackNumber(const QString& name)
{
    if (!name.startsWith(QLatin1String("Track ")))
        return 0;
    bool ok = false;
    const int number = name.mid(6).toInt(&ok);
    return ok ? number : 0;
}
