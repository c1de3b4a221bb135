#pragma once

#include <QString>

// Where an album's titles came from: which CDDB entry or MusicBrainz release, said to the user
// ("the CDDB category rock", "the MusicBrainz release ...") and kept for the rip log. For a
// MusicBrainz release it also carries what the tags say of the release beyond its titles.
struct AlbumOrigin {
    enum class Source { None, Cddb, MusicBrainz };

    Source source = Source::None;
    // CDDB: the entry's category and disc id.
    QString category;
    QString discId;
    // MusicBrainz: the release's id and, where given, its country.
    QString releaseId;
    QString country;
    // MusicBrainz: the release group's id; the ids of the artists the release credits, joined
    // by "/" in the credit's order; the release date as the service gives it ("2019-04-12",
    // "2019-04" or "2019"); the first label with a name and the first catalogue number; the
    // MusicBrainz disc id of the disc that was looked up; whether the Cover Art Archive holds a
    // front cover of the release. Empty (false) where the service said nothing.
    QString releaseGroupId;
    QString albumArtistId;
    QString date;
    QString label;
    QString catalogNumber;
    QString musicBrainzDiscId;
    bool hasFrontCover = false;

    static AlbumOrigin cddb(const QString& category, const QString& discId)
    {
        AlbumOrigin origin;
        origin.source = Source::Cddb;
        origin.category = category;
        origin.discId = discId;
        return origin;
    }
    static AlbumOrigin musicBrainz(const QString& releaseId, const QString& country = QString())
    {
        AlbumOrigin origin;
        origin.source = Source::MusicBrainz;
        origin.releaseId = releaseId;
        origin.country = country;
        return origin;
    }

    // "CDDB: rock 1402ce03", "MusicBrainz release 5b11f4ce-… (GB)", or empty when nobody
    // identified the album.
    QString describe() const
    {
        switch (source) {
        case Source::Cddb:
            return QStringLiteral("CDDB: %1 %2").arg(category, discId).trimmed();
        case Source::MusicBrainz:
            return country.isEmpty() ? QStringLiteral("MusicBrainz release %1").arg(releaseId)
                                     : QStringLiteral("MusicBrainz release %1 (%2)").arg(releaseId, country);
        case Source::None:
            break;
        }
        return QString();
    }

    bool operator==(const AlbumOrigin&) const = default;
};
