#pragma once

#include <QString>

// MusicBrainz's identifiers of releases, recordings, artists and the like: UUIDs written as 32
// hexadecimal digits in groups of 8-4-4-4-12 ("5b11f4ce-a62d-471e-81fc-a69a8278c7da").
class MusicBrainzId {
public:
    MusicBrainzId() = delete;

    static bool isWellFormed(const QString& text);
    // The identifier in lower case, the service's own spelling; an empty text when text is none.
    static QString normalized(const QString& text);
};
