#pragma once

#include "rip/trackjob.h"

#include <QString>
#include <vector>

// The whole rip's time remaining: the sound still to encode, at the pace the session's encoders
// have kept so far (together, when several run at once).
class RipTimeEstimate {
public:
    RipTimeEstimate() = delete;
    // Seconds left, or -1 while too little is done to tell.
    static qint64 secondsLeft(const std::vector<TrackJob>& jobs, qint64 elapsedMilliseconds);
    // "4:05", "1:02:09".
    static QString shown(qint64 seconds);
};
