#pragma once

#include "output/replaygain/replaygainvalues.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <optional>

// Measures the loudness of one track (EBU R128 integrated loudness, through libebur128) and its
// sample peak, for ReplayGain 2.0 tags. Fed the track's PCM in pieces of any size, signed
// little-endian integers interleaved by channel: CD audio by default. A mono track counts as
// the same sound on both speakers, as ReplayGain players play it.
class ReplayGainMeter {
public:
    explicit ReplayGainMeter(int sampleRate = 44100, int channels = 2, int bitsPerSample = 16);
    ~ReplayGainMeter();
    ReplayGainMeter(ReplayGainMeter&& other) noexcept;
    ReplayGainMeter& operator=(ReplayGainMeter&& other) noexcept;

    // False for a format it cannot measure (bits other than 16, 24 or 32, no channels, a rate
    // libebur128 refuses); such a meter ignores what it is fed and gives no values.
    bool isValid() const { return m_state != nullptr; }

    // More sound. A frame split between two calls is kept until its last byte comes.
    void add(const char* data, qint64 bytes);

    // The track's values for the sound fed so far (an unfinished last frame is left out).
    // Nothing for sound with no loudness to speak of: digital silence, or sound so quiet that
    // the -70 LUFS gate drops all of it. No gain is then written, and players play the track
    // unchanged, rather than being told to raise silence by an endless number of decibels.
    std::optional<ReplayGainValues> finish() const;

    // The album's values for its tracks' meters: the loudness of all their sound gated as one
    // programme (not an average of the tracks' figures), and the highest of their peaks.
    // Nothing when no track has measurable loudness or a meter is not valid.
    static std::optional<ReplayGainValues> album(const QList<const ReplayGainMeter*>& tracks);

private:
    struct State;

    void addFrames(const char* data, qint64 frames);
    double samplePeak() const;

    std::unique_ptr<State> m_state;
    int m_channels = 0;
    int m_bytesPerSample = 0;
    QByteArray m_partialFrame;
};
