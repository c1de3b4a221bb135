#include "output/replaygain/replaygainmeter.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <vector>

namespace {
// Frames converted and handed to libebur128 per call: big enough that the per-call work does
// not count, small enough to stay in the cache.
constexpr qint64 framesPerBlock = 4096;
} // namespace

struct ReplayGainMeter::State {
    ebur128_state* loudness = nullptr;
    std::vector<short> shorts;
    std::vector<int> ints;

    ~State() { ebur128_destroy(&loudness); }
};

ReplayGainMeter::ReplayGainMeter(int sampleRate, int channels, int bitsPerSample)
{
    if (channels <= 0 || sampleRate <= 0 ||
        (bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32))
        return;
    ebur128_state* loudness =
        ebur128_init(unsigned(channels), unsigned(sampleRate), EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
    if (!loudness)
        return;
    if (channels == 1)
        ebur128_set_channel(loudness, 0, EBUR128_DUAL_MONO);
    m_state = std::make_unique<State>();
    m_state->loudness = loudness;
    m_channels = channels;
    m_bytesPerSample = bitsPerSample / 8;
    const auto blockSamples = std::size_t(framesPerBlock * channels);
    if (bitsPerSample == 16)
        m_state->shorts.resize(blockSamples);
    else
        m_state->ints.resize(blockSamples);
}

ReplayGainMeter::~ReplayGainMeter() = default;
ReplayGainMeter::ReplayGainMeter(ReplayGainMeter&& other) noexcept = default;
ReplayGainMeter& ReplayGainMeter::operator=(ReplayGainMeter&& other) noexcept = default;

void ReplayGainMeter::add(const char* data, qint64 bytes)
{
    if (!m_state || bytes <= 0)
        return;
    const qint64 frameBytes = qint64(m_channels) * m_bytesPerSample;
    if (!m_partialFrame.isEmpty()) {
        const qint64 missing = std::min(frameBytes - m_partialFrame.size(), bytes);
        m_partialFrame.append(data, qsizetype(missing));
        data += missing;
        bytes -= missing;
        if (m_partialFrame.size() < frameBytes)
            return;
        addFrames(m_partialFrame.constData(), 1);
        m_partialFrame.clear();
    }
    const qint64 frames = bytes / frameBytes;
    addFrames(data, frames);
    m_partialFrame.append(data + frames * frameBytes, qsizetype(bytes - frames * frameBytes));
}

void ReplayGainMeter::addFrames(const char* data, qint64 frames)
{
    while (frames > 0) {
        const qint64 block = std::min(frames, framesPerBlock);
        const qint64 samples = block * m_channels;
        const auto* in = reinterpret_cast<const uchar*>(data);
        if (m_bytesPerSample == 2) {
            short* out = m_state->shorts.data();
            for (qint64 i = 0; i < samples; ++i)
                out[i] = qFromLittleEndian<qint16>(in + 2 * i);
            ebur128_add_frames_short(m_state->loudness, out, std::size_t(block));
        } else {
            // 24-bit samples go to the top of a 32-bit word, so that both use the same full scale.
            int* out = m_state->ints.data();
            if (m_bytesPerSample == 3) {
                for (qint64 i = 0; i < samples; ++i) {
                    const uchar* s = in + 3 * i;
                    out[i] = int(quint32(s[0]) << 8 | quint32(s[1]) << 16 | quint32(s[2]) << 24);
                }
            } else {
                for (qint64 i = 0; i < samples; ++i)
                    out[i] = qFromLittleEndian<qint32>(in + 4 * i);
            }
            ebur128_add_frames_int(m_state->loudness, out, std::size_t(block));
        }
        data += samples * m_bytesPerSample;
        frames -= block;
    }
}

double ReplayGainMeter::samplePeak() const
{
    double highest = 0.0;
    for (int channel = 0; channel < m_channels; ++channel) {
        double peak = 0.0;
        if (ebur128_sample_peak(m_state->loudness, unsigned(channel), &peak) == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest;
}

std::optional<ReplayGainValues> ReplayGainMeter::finish() const
{
    if (!m_state)
        return std::nullopt;
    double loudness = 0.0;
    if (ebur128_loudness_global(m_state->loudness, &loudness) != EBUR128_SUCCESS || !std::isfinite(loudness))
        return std::nullopt;
    return ReplayGainValues{ReplayGainValues::referenceLoudness - loudness, samplePeak()};
}

std::optional<ReplayGainValues> ReplayGainMeter::album(const QList<const ReplayGainMeter*>& tracks)
{
    std::vector<ebur128_state*> states;
    double peak = 0.0;
    for (const ReplayGainMeter* track : tracks) {
        if (!track || !track->m_state)
            return std::nullopt;
        states.push_back(track->m_state->loudness);
        peak = std::max(peak, track->samplePeak());
    }
    double loudness = 0.0;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) != EBUR128_SUCCESS ||
        !std::isfinite(loudness))
        return std::nullopt;
    return ReplayGainValues{ReplayGainValues::referenceLoudness - loudness, peak};
}
