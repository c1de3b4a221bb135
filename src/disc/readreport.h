#pragma once

#include <QString>
#include <QtGlobal>

// What reading a track met, as paranoia's callback told it (in fast mode only the failed reads
// count), and the checksum of the sound as it was handed on.
struct ReadReport {
    // Sectors the drive delivered. Paranoia reads every sector twice to verify it, and a little
    // more where its reads overlap (well under 1% on an ordinary disc); fast mode reads each once.
    qint64 sectorsRead = 0;
    // Sectors read again beyond that: paranoia's reads beyond two a sector, fast mode's retries
    // of failed reads.
    qint64 rereads = 0;
    // Hard read errors the drive reported.
    qint64 readErrors = 0;
    // Stretches paranoia gave up on after its retries: their sound is its best guess.
    qint64 skips = 0;
    // Places where the drive dropped or doubled samples and paranoia put them right: the mark of a
    // scratch.
    qint64 scratches = 0;
    // Reads that came back a little off (jitter) and were realigned: normal for many drives.
    qint64 jitterFixes = 0;
    // Sectors that could not be read at all and were given as silence (fast mode).
    qint64 unreadableSectors = 0;

    // The whole track was handed on (not stopped, not failed); only then is the checksum the track's.
    bool finished = false;
    // Why reading ended early, or a null string.
    QString failure;
    // The CRC-32 of the sound's bytes as handed on (EAC's copy CRC) once finished.
    quint32 crc32 = 0;

    // Every sample is what the disc holds as far as the reader can tell: nothing skipped or
    // unreadable, and read to the end.
    bool exact() const { return finished && skips == 0 && unreadableSectors == 0; }
};
