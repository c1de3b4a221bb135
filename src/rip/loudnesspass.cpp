#include "rip/loudnesspass.h"

#include "disc/audiofileheader.h"

void LoudnessPass::measureTrack(int spoolIndex, const AudioFormat& format)
{
    if (spoolIndex < 0)
        return;
    if (size_t(spoolIndex) >= m_meters.size())
        m_meters.resize(size_t(spoolIndex) + 1);
    m_meters[size_t(spoolIndex)] =
        std::make_unique<ReplayGainMeter>(format.sampleRate, format.channels, format.bitsPerSample);
}

void LoudnessPass::tap(int spoolIndex, const char* data, qint64 bytes)
{
    if (spoolIndex >= 0 && size_t(spoolIndex) < m_meters.size() && m_meters[size_t(spoolIndex)])
        m_meters[size_t(spoolIndex)]->add(data, bytes);
}

std::optional<ReplayGainValues> LoudnessPass::trackValues(int spoolIndex) const
{
    if (spoolIndex < 0 || size_t(spoolIndex) >= m_meters.size() || !m_meters[size_t(spoolIndex)])
        return std::nullopt;
    return m_meters[size_t(spoolIndex)]->finish();
}

std::optional<ReplayGainValues> LoudnessPass::albumValues(const QList<int>& spoolIndexes) const
{
    QList<const ReplayGainMeter*> meters;
    for (int index : spoolIndexes)
        if (index >= 0 && size_t(index) < m_meters.size() && m_meters[size_t(index)])
            meters.append(m_meters[size_t(index)].get());
    return meters.isEmpty() ? std::nullopt : ReplayGainMeter::album(meters);
}
