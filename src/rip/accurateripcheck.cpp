#include "rip/accurateripcheck.h"

#include "common/log.h"
#include "disc/tracksource.h"
#include "lookup/accuraterip/accurateripfetch.h"
#include "lookup/accuraterip/accuraterippressing.h"

std::unique_ptr<AccurateRipCheck> AccurateRipCheck::make(const Disc& disc, QObject* parent)
{
    const std::optional<AccurateRipDiscId> id =
        AccurateRipDiscId::fromSectors(disc.audioStarts, disc.leadout, disc.cddbId);
    if (!id)
        return nullptr;
    return std::unique_ptr<AccurateRipCheck>(new AccurateRipCheck(disc, *id, parent));
}

AccurateRipCheck::AccurateRipCheck(const Disc& disc, const AccurateRipDiscId& id, QObject* parent)
    : QObject(parent), m_disc(disc), m_id(id), m_sums(disc.audioStarts, disc.leadout, disc.shift)
{
}

AccurateRipCheck::~AccurateRipCheck()
{
    cancel();
}

void AccurateRipCheck::placeTrack(int spoolIndex, int audioIndex, qint64 sector)
{
    if (spoolIndex < 0)
        return;
    if (size_t(spoolIndex) >= m_placements.size())
        m_placements.resize(size_t(spoolIndex) + 1);
    m_placements[size_t(spoolIndex)] = {audioIndex, sector * TrackSource::samplesPerSector, 0};
}

void AccurateRipCheck::tap(int spoolIndex, const char* data, qint64 bytes)
{
    if (spoolIndex < 0 || size_t(spoolIndex) >= m_placements.size() || bytes <= 0)
        return;
    Placement& placement = m_placements[size_t(spoolIndex)];
    m_sums.add(placement.samplePosition, data, bytes);
    const qint64 total = placement.pendingBytes + bytes;
    placement.samplePosition += total / 4;
    placement.pendingBytes = total % 4;
}

void AccurateRipCheck::verify(const QString& baseUrl, const QList<int>& ripped)
{
    m_ripped.clear();
    for (int index : ripped)
        if (index >= 0 && index < m_sums.trackCount() && m_sums.track(index).complete())
            m_ripped.append(index);
    m_fetch = new AccurateRipFetch(this);
    connect(m_fetch, &AccurateRipFetch::finished, this, &AccurateRipCheck::judge);
    m_fetch->start(baseUrl, m_id);
    m_url = m_fetch->url();
    veskLog(QStringLiteral("Asking AccurateRip for disc %1 at %2").arg(m_id.text(), m_url));
}

void AccurateRipCheck::cancel()
{
    if (m_fetch) {
        m_fetch->cancel();
        m_fetch->deleteLater();
        m_fetch = nullptr;
    }
}

void AccurateRipCheck::judge(bool known, const QByteArray& data, const QString& problem)
{
    if (m_fetch) {
        m_fetch->deleteLater();
        m_fetch = nullptr;
    }
    if (!problem.isEmpty()) {
        m_problem = problem;
        veskLog(QStringLiteral("AccurateRip could not check the rip: %1").arg(problem));
        Q_EMIT finished();
        return;
    }
    QList<AccurateRipPressing> pressings;
    if (known) {
        if (const auto parsed = AccurateRipPressing::parse(data, m_id)) {
            pressings = *parsed;
        } else {
            const bool html = data.trimmed().startsWith('<');
            m_note = html ? QStringLiteral("AccurateRip sent a web page, not the disc's checksums")
                          : QStringLiteral("AccurateRip's reply (%1 bytes) does not read as this disc's checksums")
                                .arg(data.size());
            veskLog(m_note);
        }
    }
    m_verdict = AccurateRipVerdict::judge(m_sums, pressings, m_ripped, m_disc.offsetKnown);
    Q_EMIT finished();
}

QString AccurateRipCheck::resultOf(int audioIndex) const
{
    if (!m_ripped.contains(audioIndex))
        return QString();
    if (!m_verdict)
        return QStringLiteral("could not check");
    for (const AccurateRipVerdict::Track& track : m_verdict->tracks)
        if (track.index == audioIndex)
            return track.text();
    return QString();
}

QString AccurateRipCheck::summary() const
{
    if (!m_verdict)
        return m_problem.isEmpty() ? QString() : QStringLiteral("Could not check with AccurateRip: %1.").arg(m_problem);
    QString text = m_verdict->summary();
    if (!m_note.isEmpty())
        text = QStringLiteral("%1 (%2.)").arg(text, m_note);
    if (m_verdict->foundOffset) {
        const int offset = m_disc.readOffset + *m_verdict->foundOffset;
        text += QStringLiteral(" The database's copies match this rip at read offset %1%2 (%3 tracks agree): "
                               "that is likely this drive's read offset.")
                    .arg(offset > 0 ? QStringLiteral("+") : QString())
                    .arg(offset)
                    .arg(m_verdict->foundOffsetTracks);
    }
    return text;
}

QStringList AccurateRipCheck::logLines(const QHash<int, int>& trackNumbers) const
{
    QStringList lines;
    lines << QStringLiteral("AccurateRip disc id: %1").arg(m_id.text());
    if (!m_url.isEmpty())
        lines << QStringLiteral("Asked: %1").arg(m_url);
    if (!m_disc.offsetKnown)
        lines << QStringLiteral("The results are for read offset %1: the drive's offset is not known yet.")
                     .arg(m_disc.readOffset);
    for (int index : m_ripped) {
        const AccurateRipChecksums::Track& sums = m_sums.track(index);
        lines << QStringLiteral("Track %1: %2 [v1 %3, v2 %4]")
                     .arg(trackNumbers.value(index, index + 1), 2)
                     .arg(resultOf(index))
                     .arg(sums.v1, 8, 16, QLatin1Char('0'))
                     .arg(sums.v2, 8, 16, QLatin1Char('0'));
    }
    if (const QString disc = summary(); !disc.isEmpty())
        lines << disc;
    return lines;
}
