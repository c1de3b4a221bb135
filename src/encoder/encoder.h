#pragma once

#include "encoder/encoderestimate.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Where an encoder run takes a track's sound from: a file it reads itself, or raw CD audio
// (16-bit little-endian stereo at 44.1 kHz) written to its standard input.
struct EncoderInput {
    QString path; // the file; ignored for sound on standard input
    bool rawSoundOnStandardInput = false;
    bool rawSoundFile = false; // path holds raw CD audio, no header

    static EncoderInput file(const QString& path) { return {path, false, false}; }
    static EncoderInput rawSound() { return {QString(), true, false}; }
    static EncoderInput rawFile(const QString& path) { return {path, false, true}; }
};

// The tags of one track as the encoder is to write them. Empty texts are values nobody gave:
// they are left out of the file, not written empty.
struct TrackTags {
    QString title;
    qint32 number = 0;      // the track's number; 0 when not known
    qint32 trackCount = 0;  // how many tracks the disc holds; 0 when not known
    QString artist;
    QString album;
    QString albumArtist;
    QString year;
    QString genre;
    QString comments;
    QString discNumber; // "2/2" for the second disc of two; empty for a single one
    QString isrc;       // the recording's ISRC as the disc gives it; empty when not known
};

// An encoder program as the rip session uses it: what to run, the words for a preset and a
// track, what it makes and how its progress output reads. Everything a session or the editor
// needs to know of one encoder is here, so that another could stand beside it.
class Encoder {
public:
    virtual ~Encoder() = default;

    // The program to run, or a null string when it is missing.
    virtual QString executable() const = 0;
    // Where the program was looked for, for the log when it is missing; and what the user can
    // do about it.
    virtual QString whereMissing() const = 0;
    virtual QString howToInstall() const = 0;
    // The extension of the files it makes, with its dot (".mp3").
    virtual QString fileExtension() const = 0;

    // The words every track of a session gets: the basic preset's words (else the expert
    // line's), with the faster variant where the preset has one, then the encoder's own.
    virtual QStringList sessionArguments(const std::optional<QStringList>& basicWords,
                                         const QStringList& expertWords, bool faster) const = 0;
    // One run's whole command line: the session's words, the input, the output file and, when
    // tags are wanted, the tag options.
    virtual QStringList trackArguments(const QStringList& sessionArguments, const EncoderInput& input,
                                       const QString& outputPath,
                                       const std::optional<TrackTags>& tags) const = 0;
    // The estimate a chunk of the run's output ends with, if any.
    virtual std::optional<EncoderEstimate> estimate(const QByteArray& chunk) const = 0;

    // A tag value as the encoder will write it: cut when longer than a tag or the command line
    // takes.
    virtual QString fittedTagValue(const QString& value) const = 0;
    // False for a genre the encoder would refuse, failing the run; such a genre is left out.
    virtual bool acceptsGenre(const QString& genre) const = 0;
    // The run that prints the genres the encoder knows, and the names read from what it printed.
    virtual QStringList genreListArguments() const = 0;
    virtual QStringList genres(const QByteArray& output) const = 0;
};
