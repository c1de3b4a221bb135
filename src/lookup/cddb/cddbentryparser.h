#pragma once

#include "model/album.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// Reads CDDB database entries (the freedb "xmcd" format): KEY=value lines, "#" comments, long
// values continued on further lines with the same key, and in a server reply a status line first
// and a "." line last. The server ends its lines with CR LF; a bare LF is accepted too.
// Everything here takes time in proportion to the entry's size.
class CDDBEntryParser {
public:
    CDDBEntryParser() = delete;

    // Most tracks a disc can hold; an entry listing more is read up to here.
    static constexpr qint32 maxTracks = 99;

    // Every key of the entry (with its "=", for example "DTITLE=") and its value, found in one
    // pass: a key starts a line that is not a comment; the value is the rest of that line, with
    // the values of the directly following lines of the same key joined on without separator.
    // Later, separated lines of a key already seen are ignored. Control characters are dropped
    // from values: text from a server is text. Throws VeskException when a key's line has no
    // line end (the entry is cut off).
    // wanted, when given, picks the keys to keep (the others cost no copies).
    static QHash<QString, QString> fields(const QString& entry,
                                          const std::function<bool(QStringView key)>& wanted = {});

    // The value of one key, as fields() finds it; absent when the key does not occur.
    static std::optional<QString> getToken(const QString& key, const QString& entry);

    // "Artist / Title" as artist and title, trimmed: split at the first " / ", else at the first
    // "/" (an artist may hold a slash of its own: "AC/DC / Back in Black"); without a slash both
    // are the whole text. DTITLE values and the titles of query matches are written so.
    static std::pair<QString, QString> splitTitle(const QString& dtitle);

    // The album described by an entry: artist and title from DTITLE (see splitTitle), year, genre,
    // and one track per TTITLEn counted from TTITLE0 until the first missing number, at most
    // maxTracks. On an album whose artist contains "Various", a track value is split at its first
    // " / ", else at its first " - " (spaced: "Hip-Hop Hooray" stays whole), into the track's own
    // artist and title; any other track has the album's artist. Every text is kept as the entry
    // gives it, "/" and ":" included. Throws VeskException when a value line is cut off.
    static Album parseAlbumInfo(const QString& entry);
};
