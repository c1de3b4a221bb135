#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// How a rip session ended, for the front ends' closing words: what was made, where, and what
// was not, with the reasons.
struct SessionReport {
    enum class Ending { Finished, Stopped };

    struct Failure {
        int position = 0; // the track's place in the session, from 1
        QString title;
        QString fileName;
        QString reason;
    };

    Ending ending = Ending::Finished;
    QString albumFolder;
    int total = 0;
    int done = 0;
    int skipped = 0;
    // Stopped while encoding, or never started because the rip was stopped.
    int stopped = 0;
    QList<Failure> failures;
    // The tracks read from a disc that were not read exactly (a skip, unreadable sectors), by
    // their place in the session; the rip log says what happened.
    QList<int> notReadExactly;
    // What AccurateRip said, one line a checked track ("Track 3: accurately ripped (confidence
    // 12, v2)") and one for the disc; empty when the rip was not checked.
    QStringList accurateRip;
    QString accurateRipSummary;
    bool accurate = false; // checked, and every checked track accurately ripped
    // The read offset at which the database's copies match this rip, when that is not the one it
    // was read with and the drive's own was not known; and the drive's name (empty for an image
    // or a folder), under which the offset is kept once the user takes it.
    std::optional<int> foundReadOffset;
    QString drive;

    int failed() const { return int(failures.size()); }
    bool allDone() const { return done == total; }
};
