#pragma once

#include "model/album.h"

#include <QString>
#include <optional>

// Reads CDDB database entries (the freedb "xmcd" format): KEY=value lines, "#" comments, long
// values continued on further lines with the same key, and in a server reply a status line first
// and a "." line last. The server ends its lines with CR LF; a bare LF is accepted too.
class CDDBEntryParser {
public:
    CDDBEntryParser() = delete;

    // The value of key (given with its "=", for example "DTITLE=") in entry: the text behind the
    // key's first occurrence up to the line end, with the values of the directly following lines
    // of the same key joined on without separator. Absent when the key does not occur; empty when
    // its line holds no value. Throws VeskException when the value line has no line end.
    static std::optional<QString> getToken(const QString& key, const QString& entry);

    // The album described by an entry: artist and title from DTITLE, year, genre, and one track per
    // TTITLEn counted from TTITLE0 until the first missing number. On an album whose artist
    // contains "Various", track values of the form "Artist - Title" give each track its own
    // artist. Throws VeskException when a value line is cut off.
    static Album parseAlbumInfo(const QString& entry);
};
