#include "disc/drivecheck.h"

#include "disc/discerror.h"

#include <QDir>
#include <QFile>
#include <cdio/cdio.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

void DriveCheck::checkBeforeOpening(const QString& device)
{
    const QString shown = QDir::toNativeSeparators(device);
    const QByteArray path = QFile::encodeName(device);
    // Without O_NONBLOCK an empty drive refuses to open at all, and a closing tray waits.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            throw DiscError(DiscError::Reason::NoPermission,
                            QStringLiteral("Vesk may not read the drive %1: add yourself to the cdrom group "
                                           "(sudo adduser $USER cdrom), then log out and in again.")
                                .arg(shown));
        if (error == ENOENT || error == ENXIO || error == ENODEV)
            throw DiscError(DiscError::Reason::NoDrive, QStringLiteral("There is no drive %1.").arg(shown));
        if (error == ENOMEDIUM)
            throw DiscError(DiscError::Reason::NoDisc, QStringLiteral("There is no disc in %1.").arg(shown));
        throw DiscError(DiscError::Reason::NoDrive, QStringLiteral("The drive %1 cannot be opened: %2")
                                                        .arg(shown, QString::fromLocal8Bit(strerror(error))));
    }
    struct stat info {};
    const bool blockDevice = ::fstat(fd, &info) == 0 && S_ISBLK(info.st_mode);
    const int status = blockDevice ? ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT) : -1;
    ::close(fd);
    if (!blockDevice)
        throw DiscError(
            DiscError::Reason::NoDrive,
            QStringLiteral("%1 is neither a CD drive nor a disc image (.cue or .toc).").arg(shown));
    if (status < 0)
        throw DiscError(DiscError::Reason::NoDrive, QStringLiteral("%1 is not a CD drive.").arg(shown));
    switch (status) {
    case CDS_NO_DISC:
        throw DiscError(DiscError::Reason::NoDisc, QStringLiteral("There is no disc in %1.").arg(shown));
    case CDS_TRAY_OPEN:
        throw DiscError(DiscError::Reason::NoDisc, QStringLiteral("The tray of %1 is open.").arg(shown));
    case CDS_DRIVE_NOT_READY:
        throw DiscError(DiscError::Reason::NoDisc,
                        QStringLiteral("The drive %1 is not ready yet; try again in a moment.").arg(shown));
    default:
        break; // CDS_DISC_OK, or a drive that cannot tell (CDS_NO_INFO): libcdio will see
    }
}

QString DriveCheck::problemWhileReading(CdIo_t* cdio, const QString& device)
{
    const QString shown = QDir::toNativeSeparators(device);
    if (mmc_test_unit_ready(cdio, 0) == DRIVER_OP_SUCCESS)
        return QString();
    cdio_mmc_request_sense_t* sense = nullptr;
    const int senseBytes = mmc_last_cmd_sense(cdio, &sense);
    // Additional sense code 3A: medium not present (SPC-3 annex D).
    const bool noMedium = sense && senseBytes >= 13 && sense->asc == 0x3a;
    cdio_free(sense);
    if (noMedium)
        return QStringLiteral("the disc was taken out of %1").arg(shown);
    if (!QFile::exists(device))
        return QStringLiteral("the drive %1 is gone").arg(shown);
    // Busy, becoming ready, a disc just changed: the reader's own retries decide.
    return QString();
}
