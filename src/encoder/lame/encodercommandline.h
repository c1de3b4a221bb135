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

    // The tag options of the values a track has, in this order: "--tt" title, "--tn" number
    // (with the disc's count, "3/12"), "--ta" artist, "--tl" album title, "--ty" year, "--tg"
    // genre, "--tc" comments, then the album artist and the disc's place in a set as ID3v2
    // frames (TPE2, TPOS). Empty values, and a genre the encoder refuses, give no option: LAME
    // would write empty frames for them. "--id3v2-only" comes first when a value does not fit
    // an ID3v1 tag, which holds 30 bytes of Latin-1 a field: LAME would write "?" for every
    // other character there.
    static QStringList id3TagArguments(const TrackTags& tags);
    // The most one tag value takes, in bytes of UTF-8: far more than any real title, and far less
    // than the system's 128 KiB limit for one argument (several go on one command line).
    static constexpr qsizetype maxTagValueBytes = 16 * 1024;
    // The value cut between characters to maxTagValueBytes.
    static QString fittedTagValue(const QString& value);
    // Whether every value an ID3v1 tag would hold fits it unchanged.
    static bool fitsID3v1(const TrackTags& tags);

    // False for a genre LAME refuses with "Unknown ID3v1 genre number", failing the run: one
    // that reads whole as a C number (blanks, a sign, digits) outside its list of 148. Any
    // other text LAME takes, as a list name or a genre of its own.
    static bool encoderAcceptsGenre(const QString& genre);
};
