#pragma once

#include "output/id3/extratags.h"

#include <QString>

// Adds to an MP3 that LAME has tagged the ID3v2 frames LAME cannot write: the front cover,
// ReplayGain values and MusicBrainz identifiers, label, catalogue number and dates. Every frame
// already there stays, and the tag keeps its ID3v2 version (LAME writes 2.3); an ID3v1 tag at
// the end stays if there is one and none is added. A frame of a kind being written replaces the
// file's frames of that kind, so writing again never doubles one.
//
// ReplayGain goes into TXXX frames REPLAYGAIN_TRACK_GAIN, _TRACK_PEAK, _ALBUM_GAIN and
// _ALBUM_PEAK; the identifiers under Picard's names ("MusicBrainz Album Id" and so on), the
// recording's in a UFID frame owned by "http://musicbrainz.org"; the label in TPUB, the
// catalogue number in TXXX CATALOGNUMBER, the dates in TDRC and TDOR (TYER and TORY in 2.3).
class Id3ExtraWriter {
public:
    Id3ExtraWriter() = delete;

    // The tags are written into a copy beside the file, which then replaces it: on failure (no
    // such file, not an MP3, a read-only file, a full disk, a cover that is not a JPEG or PNG
    // image or is over 10 MB) the file is left byte for byte as it was, and false comes back
    // with the reason in failure.
    static bool write(const QString& mp3Path, const ExtraTags& tags, QString& failure);
};
