#pragma once

#include "disc/readreport.h"
#include "disc/tracksource.h"
#include "encoder/encoderestimate.h"
#include "model/track.h"
#include "output/replaygain/replaygainvalues.h"

#include <QString>
#include <memory>
#include <optional>

class EncoderRun;

// One track of a rip session, made once when the session is prepared: the track as the album
// gives it, where its sound comes from, the file it becomes and how far it has got. Everything
// after the preparation (status lines, progress, Skip, Stop, failures, release files) reads
// the jobs.
struct TrackJob {
    enum class State { Waiting, Running, Done, Skipped, Stopped, Failed };

    // Title and artist from the album; the number is the disc's, read from the track file's
    // name when the tracks were chosen (0 when the name carries none).
    Track track;
    // The track's place in the session, from 1: what "3 of 12" counts.
    int position = 0;
    // The title the tags give the track.
    QString tagTitle;
    std::shared_ptr<const TrackSource> source;
    // The file the track becomes, and the hidden name it is encoded under until its encoder has
    // ended well: a skipped, stopped, failed or crashed run leaves nothing a player would take
    // for a whole track.
    QString outputPath;
    QString partialPath;

    // A track whose sound only comes as a stream (a disc) is read into the session's spool
    // first, in disc order; it may start once read.
    bool needsReading() const { return source && source->filePath().isEmpty(); }
    // A file the encoder reads itself may be read by the spool as well, beside the encoder, for
    // the sound pass (AccurateRip's checksums, the loudness).
    bool tapped = false;
    bool readBySpool() const { return needsReading() || tapped; }
    enum class Reading { NotYet, Now, Done, Failed };
    Reading reading = Reading::NotYet;
    QString soundPath;      // the spooled sound, once read
    quint32 soundCrc32 = 0; // the CRC-32 of the sound as read
    QString isrc;           // the recording's ISRC, read with the sound
    std::optional<ReadReport> readReport; // what reading it from a disc met
    QString commandLine;    // the encoder's, as run, for the rip log
    // The disc's audio track this is (from 0) when the rip is checked with AccurateRip, and what
    // the database said of it.
    int audioIndex = -1;
    QString accurateRip;
    // Its place among the tracks the spool reads, -1 for none; and its loudness, measured as it
    // was read, when ReplayGain is asked for.
    int spoolIndex = -1;
    std::optional<ReplayGainValues> trackGain;

    State state = State::Waiting;
    // Why a failed track failed.
    QString reason;
    // The running encoder (a child of the session) and its latest estimate.
    EncoderRun* run = nullptr;
    std::optional<EncoderEstimate> estimate;

    bool hasEnded() const { return state != State::Waiting && state != State::Running; }
    // The output's file name.
    QString outputName() const;
    // "." + the output's name + ".part", beside it.
    static QString partialPathFor(const QString& outputPath);
};
