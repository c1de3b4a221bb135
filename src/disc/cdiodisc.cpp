#include "disc/cdiodisc.h"

#include "disc/cdiolog.h"
#include "disc/cdiosectorreader.h"
#include "disc/discerror.h"
#include "disc/discimagecopy.h"
#include "disc/drivecheck.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/paranoia/cdda.h>

namespace {
// An enhanced CD's first session ends (90 + 60 + 2) seconds before its data track: the lead-out,
// the second session's lead-in, the data track's pregap.
constexpr qint64 sessionGap = 11400;

// libcdio's strings are its to free.
QString takeString(char* value)
{
    const QString text = value ? QString::fromLatin1(value).trimmed() : QString();
    cdio_free(value);
    return text;
}

// The words paranoia's reader logged, and its log emptied.
QString drainErrors(cdrom_drive_t* drive)
{
    char* errors = cdio_cddap_errors(drive);
    const QString text = errors ? QString::fromLocal8Bit(errors).trimmed() : QString();
    cdio_cddap_free_messages(errors);
    char* messages = cdio_cddap_messages(drive);
    cdio_cddap_free_messages(messages);
    return text;
}
} // namespace

std::shared_ptr<CdioDisc> CdioDisc::open(const QString& source)
{
    CdioLog::install();
    std::shared_ptr<CdioDisc> disc(new CdioDisc);
    disc->m_source = source;
    if (DiscImageCopy::isImagePath(source)) {
        disc->m_image = DiscImageCopy::make(source);
        disc->m_cdio = disc->m_image->open();
    } else {
        DriveCheck::checkBeforeOpening(source);
        CdioLog::Capture capture;
        disc->m_cdio = cdio_open(QFile::encodeName(source).constData(), DRIVER_DEVICE);
        if (!disc->m_cdio)
            throw DiscError(DiscError::Reason::NoDisc,
                            QStringLiteral("libcdio cannot open the drive %1%2")
                                .arg(QDir::toNativeSeparators(source),
                                     capture.lines().isEmpty()
                                         ? QStringLiteral(".")
                                         : QStringLiteral(": ") + capture.lines().last()));
    }
    disc->readTracks();
    disc->openReader();
    disc->readCdText();
    if (!disc->m_image) {
        // The drive's own name, as lists of read offsets know it.
        cdio_hwinfo_t info{};
        if (cdio_get_hwinfo(disc->m_cdio, &info))
            disc->m_driveName = QStringLiteral("%1 %2")
                                    .arg(QString::fromLatin1(info.psz_vendor).simplified(),
                                         QString::fromLatin1(info.psz_model).simplified())
                                    .simplified();
    }
    return disc;
}

CdioDisc::~CdioDisc()
{
    if (m_drive)
        cdio_cddap_close_no_free_cdio(m_drive);
    if (m_cdio)
        cdio_destroy(m_cdio);
}

void CdioDisc::readTracks()
{
    const QString shown = QDir::toNativeSeparators(m_source);
    const track_t first = cdio_get_first_track_num(m_cdio);
    const track_t last = cdio_get_last_track_num(m_cdio);
    const lsn_t leadout = cdio_get_track_lsn(m_cdio, CDIO_CDROM_LEADOUT_TRACK);
    const auto unreadable = [&] {
        return DiscError(isImage() ? DiscError::Reason::BadImage : DiscError::Reason::NoDisc,
                         QStringLiteral("The table of contents of %1 cannot be read.").arg(shown));
    };
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || first < 1 || last < first || last > 99 ||
        leadout == CDIO_INVALID_LSN)
        throw unreadable();
    for (int number = first; number <= last; ++number) {
        Track track;
        track.number = number;
        track.audio = cdio_get_track_format(m_cdio, track_t(number)) == TRACK_FORMAT_AUDIO;
        track.firstSector = cdio_get_track_lsn(m_cdio, track_t(number));
        track.preemphasis = cdio_get_track_preemphasis(m_cdio, track_t(number)) == CDIO_TRACK_FLAG_TRUE;
        const qint64 previous = m_tracks.isEmpty() ? -1 : m_tracks.last().firstSector;
        if (track.firstSector == CDIO_INVALID_LSN || track.firstSector < 0 || track.firstSector <= previous)
            throw unreadable();
        m_tracks.append(track);
    }
    if (leadout <= m_tracks.last().firstSector)
        throw unreadable();

    lsn_t lastSession = CDIO_INVALID_LSN;
    const bool multisession = cdio_get_last_session(m_cdio, &lastSession) == DRIVER_OP_SUCCESS &&
                              lastSession > m_tracks.first().firstSector;
    for (qsizetype i = 0; i < m_tracks.size(); ++i) {
        Track& track = m_tracks[i];
        const bool lastTrack = i + 1 == m_tracks.size();
        track.lastSector = (lastTrack ? leadout : m_tracks[i + 1].firstSector) - 1;
        if (lastTrack || !track.audio || m_tracks[i + 1].audio)
            continue;
        // A data track's pregap is no sound; on an enhanced CD neither is the gap between sessions.
        const lsn_t pregap = cdio_get_track_pregap_lsn(m_cdio, track_t(track.number + 1));
        if (pregap != CDIO_INVALID_LSN && pregap > track.firstSector && pregap <= track.lastSector)
            track.lastSector = pregap - 1;
        const qint64 firstSessionEnd = lastSession - sessionGap - 1;
        if (multisession && firstSessionEnd >= track.firstSector && firstSessionEnd < track.lastSector)
            track.lastSector = firstSessionEnd;
    }

    QList<qint64> offsets;
    qsizetype lastAudio = -1;
    for (qsizetype i = 0; i < m_tracks.size(); ++i) {
        offsets.append(m_tracks[i].firstSector + 150);
        if (m_tracks[i].audio)
            lastAudio = i;
    }
    if (lastAudio < 0)
        throw DiscError(DiscError::Reason::NotAudio, QStringLiteral("%1 holds no audio track.").arg(shown));
    // Data tracks after the last audio track count as a second session, as DriveTOC has it.
    const bool dataAfterAudio = lastAudio + 1 < m_tracks.size();
    m_toc = DiscTOC::fromOffsets(offsets, quint32(leadout + 150), dataAfterAudio ? 2 : 1, first);
}

void CdioDisc::openReader()
{
    CdioLog::Capture capture;
    m_drive = cdio_cddap_identify_cdio(m_cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    const QString shown = QDir::toNativeSeparators(m_source);
    if (!m_drive)
        throw DiscError(DiscError::Reason::NoDrive,
                        QStringLiteral("libcdio's paranoia reader does not take %1.").arg(shown));
    // Audio comes little-endian from every MMC drive and from a cue sheet's BINARY file; a
    // big-endian image is swapped by the reader. Left to guess, paranoia would read a little of
    // every track at the start and could guess wrong on a quiet disc.
    m_drive->bigendianp = 0;
    m_drive->b_swap_bytes = false;
    cdio_cddap_verbose_set(m_drive, CDDA_MESSAGE_LOGIT, CDDA_MESSAGE_FORGETIT);
    if (cdio_cddap_open(m_drive) != 0) {
        const QString why = drainErrors(m_drive);
        throw DiscError(DiscError::Reason::NotAudio,
                        QStringLiteral("The sound of %1 cannot be read%2")
                            .arg(shown, why.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + why));
    }
    drainErrors(m_drive);
    m_plainRead = m_drive->read_audio;
    m_drive->read_audio = CdioSectorReader::countedRead;
}

void CdioDisc::readCdText()
{
    cdtext_t* cdtext = cdio_get_cdtext(m_cdio);
    if (!cdtext)
        return;
    const auto value = [&](cdtext_field_t field, int track) {
        const char* text = cdtext_get_const(cdtext, field, track_t(track));
        if (m_image)
            return m_image->sheet().textFromLibcdio(text);
        return text ? QString::fromUtf8(text) : QString();
    };
    for (int track = 0; track <= m_tracks.last().number; ++track) {
        if (const QString title = value(CDTEXT_FIELD_TITLE, track).trimmed(); !title.isEmpty())
            m_titles.insert(track, title);
        if (const QString performer = value(CDTEXT_FIELD_PERFORMER, track).trimmed(); !performer.isEmpty())
            m_performers.insert(track, performer);
    }
}

QList<qint64> CdioDisc::audioTrackStarts() const
{
    QList<qint64> starts;
    for (const Track& track : m_tracks)
        if (track.audio)
            starts.append(track.firstSector);
    return starts;
}

qint64 CdioDisc::audioLeadout() const
{
    qsizetype lastAudio = -1;
    for (qsizetype i = 0; i < m_tracks.size(); ++i)
        if (m_tracks[i].audio)
            lastAudio = i;
    if (lastAudio < 0)
        return 0;
    // The audio's end as readers see it: on an enhanced CD before the gap between the sessions,
    // as AccurateRip counts it too.
    const Track& last = m_tracks[lastAudio];
    return last.lastSector + 1;
}

std::optional<CdioDisc::Track> CdioDisc::track(int number) const
{
    if (number == 0 && pregapSectors() > 0 && m_tracks.first().audio && m_tracks.first().number == 1)
        return Track{0, true, 0, pregapSectors() - 1, m_tracks.first().preemphasis};
    for (const Track& track : m_tracks) {
        if (track.number == number)
            return track;
    }
    return std::nullopt;
}

bool CdioDisc::isAudioSector(qint64 sector) const
{
    if (sector >= 0 && sector < pregapSectors())
        return m_tracks.first().audio;
    for (const Track& track : m_tracks) {
        if (sector >= track.firstSector && sector <= track.lastSector)
            return track.audio;
    }
    return false;
}

qint64 CdioDisc::audioRunEnd(qint64 sector) const
{
    qint64 end = sector - 1;
    for (const Track& track : m_tracks) {
        const qint64 first = &track == &m_tracks.first() ? 0 : track.firstSector;
        if (!track.audio || first > end + 1)
            continue;
        if (track.lastSector > end)
            end = track.lastSector;
    }
    return end;
}

QString CdioDisc::title(int track) const
{
    return m_titles.value(track);
}

QString CdioDisc::performer(int track) const
{
    return m_performers.value(track);
}

QString CdioDisc::isrc(int track) const
{
    const std::optional<Track> known = this->track(track);
    if (!known || track == 0)
        return QString();
    const std::lock_guard lock(m_mutex);
    if (const auto it = m_isrcs.find(track); it != m_isrcs.end())
        return *it;
    CdioLog::Capture quiet;
    // Some sheets write the ISRC's parts with dashes ("US-XX1-98-01234").
    QString code = takeString(cdio_get_track_isrc(m_cdio, track_t(track))).remove(QLatin1Char('-')).toUpper();
    static const QRegularExpression valid(QStringLiteral("^[A-Z0-9]{12}$"));
    if (!valid.match(code).hasMatch() || code == QLatin1String("000000000000"))
        code = QString();
    m_isrcs.insert(track, code);
    return code;
}

QString CdioDisc::mediaCatalogNumber() const
{
    const std::lock_guard lock(m_mutex);
    if (!m_mcn) {
        CdioLog::Capture quiet;
        QString code = takeString(cdio_get_mcn(m_cdio));
        static const QRegularExpression valid(QStringLiteral("^[0-9]{13}$"));
        if (!valid.match(code).hasMatch() || code == QLatin1String("0000000000000"))
            code = QString();
        m_mcn = code;
    }
    return *m_mcn;
}

QString CdioDisc::problemWhileReading() const
{
    return m_image ? m_image->soundProblem() : DriveCheck::problemWhileReading(m_cdio, m_source);
}

bool CdioDisc::bigEndian() const
{
    return m_image && m_image->sheet().bigEndian;
}
