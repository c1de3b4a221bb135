#pragma once

#include "encoder/encoder.h"

#include <QStringList>
#include <optional>

// The LAME command line of a rip: the words common to every track of a session and the ID3 tag
// options of one track.
class EncoderCommandLine {
public:
    EncoderCommandLine() = delete;

    // The preset's words (the basic preset's, else the expert line's), then "--add-id3v2",
    // "--disptime", "5". Empty words (from doubled spaces) are left out: LAME would take an
    // empty argument for a file name.
    static QStringList commonArguments(const std::optional<QStringList>& basicWords,
                                       const QStringList& expertWords);

    // The seven tag options with their values: "--tt" title, "--tn" number, "--ta" artist,
    // "--tl" album title, "--ty" year, "--tg" genre, "--tc" comments. Absent values are passed
    // as empty entries, and so is a genre the encoder refuses.
    static QStringList id3TagArguments(const TrackTags& tags);

    // False for a genre LAME refuses with "Unknown ID3v1 genre number", failing the run: one
    // that reads whole as a C number (blanks, a sign, digits) outside its list of 148. Any
    // other text LAME takes, as a list name or a genre of its own.
    static bool encoderAcceptsGenre(const QString& genre);
};
