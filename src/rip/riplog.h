#pragma once

#include "model/album.h"
#include "rip/trackjob.h"

#include <QString>
#include <QStringList>
#include <vector>

class CdioDisc;

// The plain-text log a rip from a drive or an image leaves in its album folder, as the logs of
// EAC, XLD and whipper do: the source, how it was read, the table of contents and the disc's
// identifiers, then per track the CRC-32 of the sound as read, what the reader had to correct,
// and the encoder's command line.
class RipLog {
public:
    struct Reading {
        bool fast = false;
        int offset = 0;
        // The AccurateRip check's lines (disc id, results), empty when the rip was not checked.
        QStringList accurateRip;
    };

    RipLog() = delete;
    static QString text(const CdioDisc& disc, Reading reading, const Album& album, const std::vector<TrackJob>& jobs);
    // Whether every track the session meant to rip was read exactly.
    static bool allExact(const std::vector<TrackJob>& jobs);
};
