#pragma once

#include "rip/accurateripcheck.h"

#include <QList>
#include <QString>
#include <optional>

class CdioDisc;
class DiscTOC;

// Where each track of a rip lies on its disc, as the AccurateRip check needs to know: the disc's
// audio tracks, and for each track of the session its audio track and first sector.
struct AccurateRipPlan {
    struct Place {
        int audioIndex = -1; // -1: sound before track 1, or a track with no place
        qint64 sector = 0;
    };
    AccurateRipCheck::Disc disc;
    QList<Place> places; // one a session track, in session order

    // A drive or an image: numbers are the session's track numbers (0 for a hidden track).
    static std::optional<AccurateRipPlan> forDisc(const CdioDisc& disc, const QList<int>& numbers);
    // A folder of track files: the table of contents the lookup uses, each chosen file's track
    // number and length in samples. Nothing, with why set, unless every file is exactly its
    // track as the table has it (a copy of a CD's tracks: gvfs's files, or a copy of them).
    static std::optional<AccurateRipPlan> forFolder(const DiscTOC& toc, int audioTracks, const QList<int>& numbers,
                                                    const QList<qint64>& sampleFrames, QString& why);
};
