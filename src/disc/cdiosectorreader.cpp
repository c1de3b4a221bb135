#include "disc/cdiosectorreader.h"

#include "disc/cdiodisc.h"
#include "disc/cdiolog.h"
#include "disc/discerror.h"

#include <QDir>
#include <algorithm>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cerrno>
#include <cstring>

namespace {
// Sectors in a row that cannot be read before the reader gives up: ten seconds of sound.
constexpr qint64 maxUnreadableRun = 750;
// A disc image's files are looked at every second of sound read.
constexpr qint64 imageCheckSectors = 75;

// Paranoia's callback and the drive's read function take no context: the read in progress on
// this thread.
struct ReadInProgress {
    ReadReport* report;
    long (*plainRead)(cdrom_drive_t*, void*, qint32, long);
};
thread_local ReadInProgress t_reading{nullptr, nullptr};

void paranoiaCallback(long, paranoia_cb_mode_t event)
{
    ReadReport* report = t_reading.report;
    if (!report)
        return;
    switch (event) {
    case PARANOIA_CB_READERR:
        ++report->readErrors;
        break;
    case PARANOIA_CB_SKIP:
        ++report->skips;
        break;
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_SCRATCH:
        ++report->scratches;
        break;
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_DRIFT:
        ++report->jitterFixes;
        break;
    default:
        break;
    }
}

// Paranoia's own error lines, emptied so that they do not pile up over a disc.
QString takeErrors(cdrom_drive_t* drive)
{
    char* errors = cdio_cddap_errors(drive);
    const QString text = errors ? QString::fromLocal8Bit(errors).trimmed() : QString();
    cdio_cddap_free_messages(errors);
    return text.section(QLatin1Char('\n'), -1);
}

// The simulated faults apply to this reader's reads only.
class SimulatedFaults {
public:
    SimulatedFaults(cdrom_drive_t* drive, int faults) : m_drive(drive) { m_drive->i_test_flags = faults; }
    ~SimulatedFaults() { m_drive->i_test_flags = 0; }
    SimulatedFaults(const SimulatedFaults&) = delete;
    SimulatedFaults& operator=(const SimulatedFaults&) = delete;

private:
    cdrom_drive_t* m_drive;
};

// Where a sector lies on the disc, as a player shows it.
QString discTime(qint64 sector)
{
    const qint64 seconds = std::max<qint64>(0, sector + 150) / 75;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

CdioSectorReader::CdioSectorReader(std::shared_ptr<const CdioDisc> disc, qint64 firstSector,
                                   qint64 lastSector, const ReadOptions& options)
    : m_disc(std::move(disc)), m_next(firstSector), m_last(lastSector), m_options(options)
{
}

long CdioSectorReader::countedRead(cdrom_drive_t* drive, void* buffer, qint32 firstSector, long sectors)
{
    const ReadInProgress reading = t_reading;
    // Only readers read, and only between setting and clearing t_reading.
    if (!reading.plainRead)
        return -1;
    const long got = reading.plainRead(drive, buffer, firstSector, sectors);
    if (got > 0)
        reading.report->sectorsRead += got;
    return got;
}

const ReadReport& CdioSectorReader::report() const
{
    if (m_options.mode == ReadOptions::Mode::Paranoia)
        m_report.rereads = std::max<qint64>(0, m_report.sectorsRead - 2 * m_paranoiaSectors);
    return m_report;
}

CdioSectorReader::~CdioSectorReader()
{
    if (m_paranoia) {
        const std::lock_guard lock(m_disc->m_mutex);
        cdio_paranoia_free(m_paranoia);
    }
}

qint64 CdioSectorReader::read(char* buffer, qint64 maxSectors)
{
    if (m_stopped)
        throw DiscError(DiscError::Reason::Stopped, QStringLiteral("Reading was stopped."));
    if (m_next > m_last || maxSectors <= 0)
        return 0;
    const bool audio = m_disc->isAudioSector(m_next);
    qint64 count = 1;
    if (audio) {
        count = std::min(maxSectors, std::min(m_disc->audioRunEnd(m_next), m_last) - m_next + 1);
    } else {
        while (count < maxSectors && m_next + count <= m_last && !m_disc->isAudioSector(m_next + count))
            ++count;
    }
    if (!audio) {
        std::memset(buffer, 0, size_t(count * sectorBytes));
        m_next += count;
        return count;
    }
    if (m_disc->isImage() && (m_sinceImageCheck += count) >= imageCheckSectors) {
        m_sinceImageCheck = 0;
        checkStillThere(QString());
    }
    qint64 got = 0;
    {
        const std::lock_guard lock(m_disc->m_mutex);
        CdioLog::Capture quiet; // read failures are counted, not logged line by line
        t_reading = {&m_report, m_disc->m_plainRead};
        try {
            got = m_options.mode == ReadOptions::Mode::Paranoia ? readParanoia(buffer, count)
                                                                : readFast(buffer, count);
        } catch (...) {
            t_reading = {nullptr, nullptr};
            throw;
        }
        t_reading = {nullptr, nullptr};
    }
    if (m_disc->bigEndian()) {
        for (qint64 i = 0; i + 1 < got * sectorBytes; i += 2)
            std::swap(buffer[i], buffer[i + 1]);
    }
    m_next += got;
    return got;
}

qint64 CdioSectorReader::readParanoia(char* buffer, qint64 sectors)
{
    cdrom_drive_t* drive = m_disc->m_drive;
    if (!m_paranoia) {
        m_paranoia = cdio_paranoia_init(drive);
        // Everything paranoia does, but a stretch that will not verify is skipped after the
        // retries instead of being read for ever.
        cdio_paranoia_modeset(m_paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }
    if (m_paranoiaNext != m_next) {
        // Paranoia reads only within this stretch, never into the lead-out or a data track.
        cdio_paranoia_seek(m_paranoia, int32_t(m_next), SEEK_SET);
        cdio_paranoia_set_range(m_paranoia, long(m_next),
                                long(std::min(m_disc->audioRunEnd(m_next), m_last)));
        m_paranoiaNext = m_next;
    }
    for (qint64 i = 0; i < sectors; ++i) {
        const qint64 troubleBefore = m_report.readErrors + m_report.skips;
        const int16_t* data = nullptr;
        int error = 0;
        {
            const SimulatedFaults faults(drive, m_options.simulatedFaults);
            errno = 0;
            data = cdio_paranoia_read_limited(m_paranoia, paranoiaCallback, m_options.maxRetries);
            error = errno;
        }
        const QString errors = takeErrors(drive);
        if (!data) {
            m_paranoiaNext = -1;
            if (error == ENOMEDIUM)
                throw DiscError(DiscError::Reason::Removed,
                                QStringLiteral("Reading %1 stopped: the disc was taken out.")
                                    .arg(QDir::toNativeSeparators(m_disc->source())));
            checkStillThere(errors);
            throw DiscError(DiscError::Reason::ReadFailed,
                            QStringLiteral("%1 cannot be read at %2%3")
                                .arg(QDir::toNativeSeparators(m_disc->source()), discTime(m_next + i),
                                     errors.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + errors));
        }
        std::memcpy(buffer + i * sectorBytes, data, sectorBytes);
        ++m_paranoiaNext;
        ++m_paranoiaSectors;
        if (m_report.readErrors + m_report.skips > troubleBefore) {
            checkStillThere(errors);
            if (++m_unreadableRun > maxUnreadableRun)
                throw DiscError(DiscError::Reason::ReadFailed,
                                QStringLiteral("%1 cannot be read from %2 on.")
                                    .arg(QDir::toNativeSeparators(m_disc->source()), discTime(m_next + i)));
        } else {
            m_unreadableRun = 0;
        }
    }
    return sectors;
}

qint64 CdioSectorReader::readFast(char* buffer, qint64 sectors)
{
    cdrom_drive_t* drive = m_disc->m_drive;
    const SimulatedFaults faults(drive, m_options.simulatedFaults);
    qint64 done = 0;
    while (done < sectors) {
        char* at = buffer + done * sectorBytes;
        // Paranoia's plain read takes as many sectors as the drive does in one command.
        const long got = cdio_cddap_read(drive, at, lsn_t(m_next + done), long(sectors - done));
        if (got > 0) {
            done += got;
            m_unreadableRun = 0;
            continue;
        }
        // A failed read is tried again sector by sector (libcdio retries each command itself).
        ++m_report.readErrors;
        ++m_report.rereads;
        const QString errors = takeErrors(drive);
        if (cdio_cddap_read(drive, at, lsn_t(m_next + done), 1) != 1) {
            std::memset(at, 0, sectorBytes);
            checkStillThere(errors);
            countUnreadable(m_next + done);
        }
        ++done;
    }
    takeErrors(drive);
    return sectors;
}

void CdioSectorReader::countUnreadable(qint64 sector)
{
    ++m_report.unreadableSectors;
    if (++m_unreadableRun > maxUnreadableRun)
        throw DiscError(DiscError::Reason::ReadFailed, QStringLiteral("%1 cannot be read from %2 on.")
                                                           .arg(QDir::toNativeSeparators(m_disc->source()),
                                                                discTime(sector - maxUnreadableRun)));
}

void CdioSectorReader::checkStillThere(const QString& cause)
{
    const QString problem = m_disc->problemWhileReading();
    if (problem.isEmpty())
        return;
    throw DiscError(DiscError::Reason::Removed,
                    QStringLiteral("Reading %1 stopped: %2%3.")
                        .arg(QDir::toNativeSeparators(m_disc->source()), problem,
                             cause.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(cause)));
}
