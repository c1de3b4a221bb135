#include "disc/drivetoc.h"

#include "common/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <discid/discid.h>
#include <memory>

namespace {
struct DiscIdFree {
    void operator()(DiscId* disc) const { discid_free(disc); }
};
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
    // The table of contents only: the catalogue number and ISRCs take the drive much longer.
    if (!discid_read_sparse(disc.get(), QFile::encodeName(device).constData(), DISCID_FEATURE_READ)) {
        veskLog(QStringLiteral("Could not read the table of contents from %1: %2")
                    .arg(device, QString::fromLocal8Bit(discid_get_error_msg(disc.get()))));
        return std::nullopt;
    }
    const int first = discid_get_first_track_num(disc.get());
    const int last = discid_get_last_track_num(disc.get());
    QList<qint64> offsets;
    for (int track = first; track <= last; ++track)
        offsets.append(discid_get_track_offset(disc.get(), track));
    return DiscTOC::fromOffsets(offsets, static_cast<quint32>(discid_get_sectors(disc.get())), 1, first);
}
