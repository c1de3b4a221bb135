#include "rip/riplog.h"

#include "disc/cdiodisc.h"
#include "lookup/musicbrainz/musicbrainzdiscid.h"

#include <QDateTime>

namespace {
QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

// "4:05.32" for a count of sectors (75 a second).
QString sectorTime(qint64 sectors)
{
    return QStringLiteral("%1:%2.%3")
        .arg(sectors / 75 / 60)
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

QString outcome(const TrackJob& job)
{
    switch (job.state) {
    case TrackJob::State::Done:
        return QStringLiteral("encoded");
    case TrackJob::State::Skipped:
        return QStringLiteral("skipped");
    case TrackJob::State::Stopped:
    case TrackJob::State::Waiting:
    case TrackJob::State::Running:
        return QStringLiteral("not ripped: the rip was stopped");
    case TrackJob::State::Failed:
        return QStringLiteral("failed: ") + job.reason;
    }
    return QString();
}
} // namespace

bool RipLog::allExact(const std::vector<TrackJob>& jobs)
{
    for (const TrackJob& job : jobs)
        if (job.needsReading() && (!job.readReport || !job.readReport->exact()))
            return false;
    return true;
}

QString RipLog::text(const CdioDisc& disc, Reading reading, const Album& album, const std::vector<TrackJob>& jobs)
{
    QStringList lines;
    lines << QStringLiteral("Vesk %1 rip log, %2").arg(QStringLiteral(VESK_VERSION), QDateTime::currentDateTime().toString(Qt::ISODate));
    lines << QString();
    lines << QStringLiteral("%1: %2").arg(disc.isImage() ? QStringLiteral("Image") : QStringLiteral("Drive"), disc.source());
    lines << QStringLiteral("Album: %1 - %2").arg(album.artistForNames(), album.titleForNames());
    if (const QString origin = album.getOrigin().describe(); !origin.isEmpty())
        lines << QStringLiteral("Titles: %1").arg(origin);
    lines << QStringLiteral("Read mode: %1").arg(reading.fast ? QStringLiteral("fast (no error correction)")
                                                              : QStringLiteral("paranoia (full error correction)"));
    lines << QStringLiteral("Read offset: %1 samples").arg(reading.offset);
    lines << QStringLiteral("CDDB disc id: %1").arg(disc.toc().cddbDiscId(), 8, 16, QLatin1Char('0'));
    if (const auto id = MusicBrainzDiscId::fromTOC(disc.toc()))
        lines << QStringLiteral("MusicBrainz disc id: %1").arg(id->id());
    if (const QString mcn = disc.mediaCatalogNumber(); !mcn.isEmpty())
        lines << QStringLiteral("Catalogue number (MCN): %1").arg(mcn);
    lines << QString() << QStringLiteral("Table of contents") << QString();
    lines << QStringLiteral("  Track |   Start  |  Length  | Start sector | End sector");
    for (const CdioDisc::Track& track : disc.tracks()) {
        lines << QStringLiteral("  %1 | %2 | %3 | %4 | %5%6")
                     .arg(track.number, 5)
                     .arg(sectorTime(track.firstSector), 8)
                     .arg(sectorTime(track.sectors()), 8)
                     .arg(track.firstSector, 12)
                     .arg(track.lastSector, 10)
                     .arg(track.audio ? QString() : QStringLiteral("  (data)"));
    }
    for (const TrackJob& job : jobs) {
        lines << QString() << QStringLiteral("Track %1: %2").arg(job.track.getTrackNum()).arg(job.track.getTitle());
        lines << QStringLiteral("  File: %1").arg(job.outputName());
        if (const auto& report = job.readReport) {
            lines << QStringLiteral("  Copy CRC: %1").arg(report->finished ? hex8(report->crc32) : QStringLiteral("-"));
            lines << QStringLiteral("  Sectors read: %1, re-read: %2, read errors: %3, skips: %4, scratches put right: "
                                    "%5, jitter fixed: %6, unreadable: %7")
                         .arg(report->sectorsRead)
                         .arg(report->rereads)
                         .arg(report->readErrors)
                         .arg(report->skips)
                         .arg(report->scratches)
                         .arg(report->jitterFixes)
                         .arg(report->unreadableSectors);
            lines << (report->exact() ? QStringLiteral("  Read exactly")
                                      : QStringLiteral("  Not read exactly%1")
                                            .arg(report->failure.isEmpty() ? QString() : QStringLiteral(": ") + report->failure));
        } else if (job.reading == TrackJob::Reading::Failed) {
            lines << QStringLiteral("  Not read: %1").arg(job.reason);
        } else {
            lines << QStringLiteral("  Not read");
        }
        if (!job.isrc.isEmpty())
            lines << QStringLiteral("  ISRC: %1").arg(job.isrc);
        if (!job.commandLine.isEmpty())
            lines << QStringLiteral("  Encoder: %1").arg(job.commandLine);
        if (!job.accurateRip.isEmpty())
            lines << QStringLiteral("  AccurateRip: %1").arg(job.accurateRip);
        lines << QStringLiteral("  Result: %1").arg(outcome(job));
    }
    if (!reading.accurateRip.isEmpty()) {
        lines << QString() << QStringLiteral("AccurateRip") << QString();
        for (const QString& line : reading.accurateRip)
            lines << QStringLiteral("  ") + line;
    }
    lines << QString();
    lines << (allExact(jobs) ? QStringLiteral("Every track was read exactly.")
                             : QStringLiteral("Some tracks were not read exactly; see above."));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
