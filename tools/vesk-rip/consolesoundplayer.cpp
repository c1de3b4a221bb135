#include "consolesoundplayer.h"

#include "common/log.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

void ConsoleSoundPlayer::playFinishedSound()
{
    const QString canberra = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (!canberra.isEmpty() &&
        QProcess::startDetached(
            canberra, {QStringLiteral("--id=complete"), QStringLiteral("--description=Rip finished")}))
        return;
    const QString paplay = QStandardPaths::findExecutable(QStringLiteral("paplay"));
    const QString sound = QStringLiteral("/usr/share/sounds/freedesktop/stereo/complete.oga");
    if (!paplay.isEmpty() && QFileInfo::exists(sound) && QProcess::startDetached(paplay, {sound}))
        return;
    veskLog(QStringLiteral("vesk-rip: no sound played: neither canberra-gtk-play nor paplay (with %1) "
                           "is available")
                .arg(sound));
}
