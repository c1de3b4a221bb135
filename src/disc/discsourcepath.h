#pragma once

#include <QString>

// Whether a source the user names is a disc to be read through libcdio (a drive's device, a
// cue sheet or a cdrdao .toc file) rather than a folder of track files.
class DiscSourcePath {
public:
    DiscSourcePath() = delete;
    static bool isDisc(const QString& path);
    static bool isImage(const QString& path);
    // What a disc's track is called where a file name would stand: "Track 3".
    static QString trackName(int number);
    // The track number of such a name, or 0.
    static int trackNumber(const QString& name);
};
