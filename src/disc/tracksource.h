#pragma once

#include <QIODevice>
#include <QString>
#include <memory>

// Where one track's sound comes from: a file on disk today, the drive or a disc image later.
// The encoder reads a file itself; any other source hands its sound over as raw CD audio
// (16-bit little-endian stereo at 44.1 kHz) to be written to the encoder's standard input.
class TrackSource {
public:
    virtual ~TrackSource() = default;

    // A CD sector (frame) holds 1/75 s of sound: 588 sample frames.
    static constexpr qint64 samplesPerSector = 588;

    // What messages call the track: its file's name.
    virtual QString name() const = 0;
    // The track's length in sample frames, or -1 when it cannot be known before reading.
    virtual qint64 sampleFrames() const = 0;
    // The length in whole sectors, a partly filled last one counted; -1 when unknown.
    qint64 sectors() const
    {
        const qint64 frames = sampleFrames();
        return frames < 0 ? -1 : (frames + samplesPerSector - 1) / samplesPerSector;
    }
    // A file the encoder may read itself, or a null string when the sound only comes as a stream.
    virtual QString filePath() const = 0;
    // The sound as raw CD audio, opened for reading; nothing when only a file is offered.
    virtual std::unique_ptr<QIODevice> openSound() const = 0;
    // Why the track's sound cannot be had, in words that follow its name; a null string when it can.
    virtual QString problem() const = 0;
    // The recording's ISRC where the source knows it (a disc's subchannel; slow on a drive, so
    // asked off the main thread), else a null string.
    virtual QString isrc() const { return QString(); }
};
