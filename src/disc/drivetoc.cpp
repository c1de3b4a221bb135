#include "disc/drivetoc.h"

#include "common/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <discid/discid.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
struct DiscIdFree {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

// libdiscid answers with the audio tracks only: an enhanced CD's data track (in a second session
// after the last audio track) is left out and the lead-out moved before it, as the MusicBrainz
// identifier wants. The CDDB identifier counts that track and takes the disc's real lead-out, so
// both are asked of the drive here. Nothing when the drive does not tell, or there is no such track.
std::optional<std::pair<QList<qint64>, quint32>> trailingDataTracks(const QByteArray& device, int lastAudio)
{
    const int fd = ::open(device.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    cdrom_tochdr header{};
    bool ok = ::ioctl(fd, CDROMREADTOCHDR, &header) == 0 && header.cdth_trk1 > lastAudio;
    QList<qint64> starts;
    for (int track = lastAudio + 1; ok && track <= header.cdth_trk1; ++track) {
        cdrom_tocentry entry{};
        entry.cdte_track = static_cast<__u8>(track);
        entry.cdte_format = CDROM_LBA;
        ok = ::ioctl(fd, CDROMREADTOCENTRY, &entry) == 0;
        starts.append(qint64(entry.cdte_addr.lba) + 150); // addresses count from the end of the lead-in
    }
    cdrom_tocentry leadout{};
    leadout.cdte_track = CDROM_LEADOUT;
    leadout.cdte_format = CDROM_LBA;
    ok = ok && ::ioctl(fd, CDROMREADTOCENTRY, &leadout) == 0;
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return std::pair{starts, static_cast<quint32>(leadout.cdte_addr.lba + 150)};
}
} // namespace

QString DriveTOC::deviceForMount(const QString& folder, const QString& deviceFolder)
{
    // Only a plain device name: the mount's name must not lead anywhere outside deviceFolder.
    static const QRegularExpression mount(QStringLiteral("^cdda:host=([A-Za-z0-9_-]+)$"));
    const QRegularExpressionMatch match = mount.match(QFileInfo(QDir::cleanPath(folder)).fileName());
    if (!match.hasMatch())
        return QString();
    return deviceFolder + QLatin1Char('/') + match.captured(1);
}

std::optional<DiscTOC> DriveTOC::read(const QString& device)
{
    const std::unique_ptr<DiscId, DiscIdFree> disc(discid_new());
    if (!disc)
        return std::nullopt;
    const QByteArray path = QFile::encodeName(device);
    // The table of contents only: the catalogue number and ISRCs take the drive much longer.
    if (!discid_read_sparse(disc.get(), path.constData(), DISCID_FEATURE_READ)) {
        veskLog(QStringLiteral("Could not read the table of contents from %1: %2")
                    .arg(device, QString::fromLocal8Bit(discid_get_error_msg(disc.get()))));
        return std::nullopt;
    }
    const int first = discid_get_first_track_num(disc.get());
    const int last = discid_get_last_track_num(disc.get());
    QList<qint64> offsets;
    for (int track = first; track <= last; ++track)
        offsets.append(discid_get_track_offset(disc.get(), track));
    // An enhanced CD is shown the way its ".TOC.plist" shows it: the data track in a second session.
    if (const auto data = trailingDataTracks(path, last))
        return DiscTOC::fromOffsets(offsets + data->first, data->second, 2, first);
    return DiscTOC::fromOffsets(offsets, static_cast<quint32>(discid_get_sectors(disc.get())), 1, first);
}
