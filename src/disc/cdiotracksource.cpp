#include "disc/cdiotracksource.h"

#include <cstdlib>

CdioTrackSource::CdioTrackSource(std::shared_ptr<const CdioDisc> disc, int trackNumber, ReadOptions options)
    : m_disc(std::move(disc)), m_number(trackNumber), m_options(options), m_track(m_disc->track(trackNumber))
{
}

QString CdioTrackSource::name() const
{
    return QStringLiteral("Track %1").arg(m_number);
}

qint64 CdioTrackSource::sampleFrames() const
{
    return m_track && m_track->audio ? m_track->sectors() * samplesPerSector : -1;
}

std::unique_ptr<QIODevice> CdioTrackSource::openSound() const
{
    return openReader();
}

std::unique_ptr<CdioSoundDevice> CdioTrackSource::openReader() const
{
    if (!problem().isEmpty())
        return nullptr;
    return std::make_unique<CdioSoundDevice>(m_disc, *m_track, m_options);
}

QString CdioTrackSource::problem() const
{
    if (!m_track)
        return QStringLiteral("is not on the disc");
    if (!m_track->audio)
        return QStringLiteral("is a data track, not sound");
    if (std::abs(m_options.offset) > ReadOptions::maxOffset)
        return QStringLiteral("cannot be read with an offset of %1 samples (at most %2 either way)")
            .arg(m_options.offset)
            .arg(ReadOptions::maxOffset);
    if (m_options.maxRetries < 1)
        return QStringLiteral("cannot be read with no retries");
    return QString();
}

QString CdioTrackSource::isrc() const
{
    return m_disc->isrc(m_number);
}
