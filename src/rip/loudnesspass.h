#pragma once

#include "output/replaygain/replaygainmeter.h"

#include <QList>
#include <memory>
#include <optional>
#include <vector>

struct AudioFormat;

// The ReplayGain part of the sound pass: one meter a spooled track, fed on the reading thread as
// the spool reads, asked on the session's thread once the track is read.
class LoudnessPass {
public:
    // One meter for the spool's track at index, measuring sound of that format (CD audio for a
    // disc). Set before the reading starts.
    void measureTrack(int spoolIndex, const AudioFormat& format);
    // The spool's tap: on the reading thread.
    void tap(int spoolIndex, const char* data, qint64 bytes);
    // Once the track is read: its gain and peak, or nothing (silence, a format not measured).
    std::optional<ReplayGainValues> trackValues(int spoolIndex) const;
    // The album's, over the tracks given (spool indexes): all their sound as one programme.
    std::optional<ReplayGainValues> albumValues(const QList<int>& spoolIndexes) const;

private:
    std::vector<std::unique_ptr<ReplayGainMeter>> m_meters;
};
