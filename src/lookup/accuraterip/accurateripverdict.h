#pragma once

#include "disc/accuraterip/accurateripchecksums.h"
#include "lookup/accuraterip/accuraterippressing.h"

#include <QList>
#include <QString>
#include <optional>

// What the AccurateRip database says about each ripped track and about the disc.
struct AccurateRipVerdict {
    struct Track {
        enum class Result { Accurate, NotAccurate, NotInDatabase, NotChecked };
        int index = 0;            // audio track index from 0
        Result result = Result::NotChecked;
        int confidence = 0;       // Accurate: the copies that agree with this one
        int version = 0;          // Accurate: 1 or 2
        int bestConfidence = 0;   // NotAccurate: the most copies that agree with each other
        int offset = 0;           // Accurate: the offset it matched at (0 but for another pressing)
        quint32 v1 = 0, v2 = 0;   // ours, for the log

        // "accurately ripped (confidence 12, v2)",
        // "not accurately ripped (the database has 9 copies that agree with each other)",
        // "not in the database"; another pressing: "accurately ripped (confidence 3, v1, another
        // pressing, offset +667)". NotChecked gives a null string.
        QString text() const;
    };

    QList<Track> tracks;          // the tracks checked, in the order asked
    // The offset (samples, to be added to the read offset used) at which the database's copies
    // match this rip better than at 0, found from the sector-450 values and confirmed on whole
    // tracks (v1); nothing when 0 is best or nothing matched.
    std::optional<int> foundOffset;
    int foundOffsetTracks = 0;    // how many tracks agree on it

    bool allAccurate() const;     // every checked track Accurate
    // "All 12 tracks accurately ripped.", "10 of 12 tracks accurately ripped.", ...
    QString summary() const;

    // tracksToCheck: audio track indexes (from 0) that were ripped and read completely.
    // offsetKnown: the read offset used is the drive's own (set or found before), so a match at
    // another offset is another pressing; otherwise it is offered as the drive's offset.
    static AccurateRipVerdict judge(const AccurateRipChecksums& sums, const QList<AccurateRipPressing>& pressings,
                                    const QList<int>& tracksToCheck, bool offsetKnown);
};
