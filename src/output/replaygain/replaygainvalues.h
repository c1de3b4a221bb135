#pragma once

#include <QString>

// One ReplayGain pair, for a track or an album: the gain that brings the sound to the reference
// loudness of -18 LUFS, and the sample peak as a fraction of full scale (1.0 = 0 dBFS).
struct ReplayGainValues {
    static constexpr double referenceLoudness = -18.0;

    double gainDb = 0.0;
    double peak = 0.0;

    // The values as players read them from REPLAYGAIN_* tags, in the C locale whatever the
    // user's: "-6.52 dB" or "+2.10 dB" (a zero gain is "+0.00 dB"), and "0.988525".
    QString gainText() const;
    QString peakText() const;
};
