#pragma once

#include "output/replaygain/replaygainvalues.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What goes into an MP3's ID3v2 tag besides the frames LAME writes itself. Every field is
// optional: an empty one (or an absent gain) leaves whatever the file has of that kind alone, so
// that values known only later, such as the album's gain, can be added to a finished file.
struct ExtraTags {
    // A JPEG or PNG image, the front cover. The type is found from the bytes when not given.
    QByteArray frontCover;
    QString coverMimeType;

    std::optional<ReplayGainValues> trackGain;
    std::optional<ReplayGainValues> albumGain;

    // MusicBrainz identifiers, as Picard names them in ID3v2 tags.
    QString releaseId;
    QString releaseGroupId;
    QString releaseArtistId;
    QString artistId;
    QString recordingId;
    QString discId;
    QString releaseCountry;

    // "1999" or "1999-05-03". The release date goes in only when the file has no date yet.
    QString date;
    QString originalDate;
    QString label;
    QString catalogNumber;
};
