#pragma once

#include "disc/disctoc.h"

#include <QList>
#include <QStringList>
#include <optional>

// A disc's table of contents rebuilt from its tracks' lengths, for a folder of tracks without a
// ".TOC.plist" and without a drive to ask. On a plain audio CD the first track starts at frame
// 150 (the two-second lead-in) and every track follows the previous one directly, so the
// lengths give the very offsets the disc's own table holds.
class TrackLengthTOC {
public:
    // A CD frame (sector) holds 1/75 s of sound: 588 sample frames at 44.1 kHz.
    static constexpr qint64 samplesPerSector = 588;
    static constexpr qint64 firstTrackStart = 150;

    // From each track's length in sample frames; nothing unless every one is a whole number of
    // sectors and the disc fits in the identifier's range.
    static std::optional<DiscTOC> fromSampleFrames(const QList<qint64>& sampleFrames);
    // From the track files' headers; nothing (with one log line) unless every file is CD audio of
    // whole sectors.
    static std::optional<DiscTOC> fromFiles(const QStringList& paths);
};
