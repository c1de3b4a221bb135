#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Which entries of a source folder are tracks, and in what order. A folder copied from a CD
// often holds a cover picture, a file manager's notes or a subfolder of scans beside the
// tracks; ripping those would fail and would make the looked-up titles not fit the tracks.
class AudioTrackList {
public:
    // An AIFF or WAV file name (".aiff", ".aif", ".aifc", ".wav", any case) that is not hidden.
    static bool isAudioTrackName(const QString& name);
    // The disc's number of a track file: the number its name starts with ("3 Audio Track.aiff"),
    // else the one of gvfs's "Track 3.wav"; 0 for a name that carries none.
    static qint32 trackNumber(const QString& fileName);
    // What a track is called when nobody has titled it: its file's name without the last
    // extension ("3 Audio Track.aiff" -> "3 Audio Track"; a leading dot stays).
    static QString titleFromFileName(const QString& fileName);
    // Runs of digits compare by their value, so "Track 2.wav" comes before "Track 10.wav".
    static bool naturalLess(const QString& a, const QString& b);
    static void sortNaturally(QStringList& names);
    // The folder's audio track files in natural order, or nothing when it cannot be listed.
    // Everything left out is named in one log line when logLeftOut is set.
    static std::optional<QStringList> tracksInFolder(const QString& folder, bool logLeftOut = true);
};
