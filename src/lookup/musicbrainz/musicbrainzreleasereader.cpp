#include "lookup/musicbrainz/musicbrainzreleasereader.h"

#include "common/printabletext.h"
#include "lookup/albumchooser.h"
#include "lookup/musicbrainz/musicbrainzid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <algorithm>

namespace {
// Names become tags exactly as the service gives them, "/" and ":" included, like a CDDB
// album's; what a file or folder name cannot hold is left to those names. Line breaks and other
// control characters from a hostile reply become spaces.
QString cleanName(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (isControlCharacter(c))
            c = QLatin1Char(' ');
    }
    return result.trimmed();
}

// A non-empty text, or nothing.
std::optional<QString> nameOf(const QJsonValue& value)
{
    if (!value.isString() || cleanName(value.toString()).isEmpty())
        return std::nullopt;
    return value.toString();
}

// The credited names, each followed by its join phrase: "A feat. B". Nothing when the credit is
// not a list of named entries.
std::optional<QString> joinedCredit(const QJsonValue& credit)
{
    if (!credit.isArray() || credit.toArray().isEmpty())
        return std::nullopt;
    QString joined;
    for (const QJsonValue& entry : credit.toArray()) {
        const auto name = nameOf(entry.toObject().value(QStringLiteral("name")));
        if (!name)
            return std::nullopt;
        joined += *name + entry.toObject().value(QStringLiteral("joinphrase")).toString();
    }
    return joined;
}

// A MusicBrainz identifier in lower case; an empty text for anything else, so that no id reaches
// a tag or an address unless it is one.
QString mbidOf(const QJsonValue& value)
{
    return MusicBrainzId::normalized(value.toString());
}

// The ids of the credited artists in the credit's order, each once, joined by "/"; an empty text
// when an entry names no artist id, since a partial list would credit the wrong artists.
QString creditedArtistIds(const QJsonValue& credit)
{
    QStringList ids;
    for (const QJsonValue& entry : credit.toArray()) {
        const QString id =
            mbidOf(entry.toObject().value(QStringLiteral("artist")).toObject().value(QStringLiteral("id")));
        if (id.isEmpty())
            return QString();
        if (!ids.contains(id))
            ids.append(id);
    }
    return ids.join(QLatin1Char('/'));
}

// The release's date when it has the service's form ("2019-04-12", "2019-04", "2019").
QString dateOf(const QJsonValue& value)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9]{4}(-[0-9]{2}(-[0-9]{2})?)?$"));
    const QString text = value.toString();
    return shape.match(text).hasMatch() ? text : QString();
}

// The first label with a name and the first catalogue number among the release's label entries,
// which need not be the same entry (a label may be unknown while its number is printed).
std::pair<QString, QString> labelAndCatalogNumber(const QJsonValue& labelInfo)
{
    QString label;
    QString catalogNumber;
    for (const QJsonValue& entry : labelInfo.toArray()) {
        const QJsonObject info = entry.toObject();
        if (label.isEmpty())
            label = cleanName(
                info.value(QStringLiteral("label")).toObject().value(QStringLiteral("name")).toString());
        if (catalogNumber.isEmpty())
            catalogNumber = cleanName(info.value(QStringLiteral("catalog-number")).toString());
    }
    return {label, catalogNumber};
}

bool listsDisc(const QJsonObject& medium, const QString& discId)
{
    const QJsonArray discs = medium.value(QStringLiteral("discs")).toArray();
    return std::any_of(discs.begin(), discs.end(), [&discId](const QJsonValue& disc) {
        return disc.toObject().value(QStringLiteral("id")).toString() == discId;
    });
}

// Where the medium at index i stands in its release (from 1): its own "position" when that is
// one of the release's places, else its place in the list, which the service keeps in order.
qsizetype mediumPosition(const QJsonArray& media, qsizetype i)
{
    const QJsonValue position = media[i].toObject().value(QStringLiteral("position"));
    const double stated = position.toDouble();
    if (position.isDouble() && stated >= 1 && stated <= double(media.size()) &&
        stated == double(qsizetype(stated)))
        return qsizetype(stated);
    return i + 1;
}

// The medium that is the disc, and its position among the release's media (from 1).
std::optional<std::pair<QJsonObject, qsizetype>> chooseMedium(const QJsonArray& media, const QString& discId,
                                                              qint32 trackCount)
{
    for (qsizetype i = 0; i < media.size(); ++i) {
        if (listsDisc(media[i].toObject(), discId))
            return std::pair{media[i].toObject(), mediumPosition(media, i)};
    }
    for (qsizetype i = 0; i < media.size(); ++i) {
        const QJsonValue count = media[i].toObject().value(QStringLiteral("track-count"));
        if (count.isDouble() && count.toDouble() == trackCount)
            return std::pair{media[i].toObject(), mediumPosition(media, i)};
    }
    return std::nullopt;
}

struct TrackEntry {
    qint64 position;
    QString title;
    QString artist;
    QString recordingId;
    QString artistId;
};

// The medium's tracks in position order; nothing when one lacks a position or a title, two share
// a position, or a credit is malformed. A track without a credit of its own has the album's
// artist and artist ids.
std::optional<QList<TrackEntry>> readTracks(const QJsonArray& tracks, const QString& albumArtist,
                                            const QString& albumArtistId)
{
    QList<TrackEntry> entries;
    for (const QJsonValue& value : tracks) {
        const QJsonObject track = value.toObject();
        const QJsonValue position = track.value(QStringLiteral("position"));
        const auto title = nameOf(track.value(QStringLiteral("title")));
        if (!position.isDouble() || position.toDouble() < 1 || position.toDouble() > 9999 || !title)
            return std::nullopt;
        QString artist = albumArtist;
        QString artistId = albumArtistId;
        if (track.contains(QStringLiteral("artist-credit"))) {
            const auto credit = joinedCredit(track.value(QStringLiteral("artist-credit")));
            if (!credit)
                return std::nullopt;
            artist = *credit;
            artistId = creditedArtistIds(track.value(QStringLiteral("artist-credit")));
        }
        const QString recordingId =
            mbidOf(track.value(QStringLiteral("recording")).toObject().value(QStringLiteral("id")));
        entries.append({static_cast<qint64>(position.toDouble()), *title, artist, recordingId, artistId});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TrackEntry& a, const TrackEntry& b) { return a.position < b.position; });
    for (qsizetype i = 1; i < entries.size(); ++i) {
        if (entries[i].position == entries[i - 1].position)
            return std::nullopt;
    }
    return entries;
}
} // namespace

std::optional<QList<MusicBrainzMatch>>
MusicBrainzReleaseReader::readMatches(const QByteArray& reply, const QString& discId, qint32 trackCount)
{
    if (reply.size() > maxReplySize)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue releases = document.object().value(QStringLiteral("releases"));
    if (!releases.isArray())
        return std::nullopt;
    QList<MusicBrainzMatch> matches;
    for (const QJsonValue& release : releases.toArray()) {
        if (auto match = readRelease(release.toObject(), discId, trackCount))
            matches.append(std::move(*match));
    }
    if (matches.isEmpty() && !releases.toArray().isEmpty())
        return std::nullopt;
    return matches;
}

std::optional<MusicBrainzMatch>
MusicBrainzReleaseReader::readRelease(const QJsonObject& release, const QString& discId, qint32 trackCount)
{
    const auto title = nameOf(release.value(QStringLiteral("title")));
    const auto artist = joinedCredit(release.value(QStringLiteral("artist-credit")));
    const QJsonArray media = release.value(QStringLiteral("media")).toArray();
    const auto medium = chooseMedium(media, discId, trackCount);
    if (!title || !artist || !medium || trackCount < 1)
        return std::nullopt;
    const QString albumArtistId = creditedArtistIds(release.value(QStringLiteral("artist-credit")));
    const auto tracks =
        readTracks(medium->first.value(QStringLiteral("tracks")).toArray(), *artist, albumArtistId);
    if (!tracks || tracks->size() < trackCount)
        return std::nullopt;

    MusicBrainzMatch match;
    Album& album = match.album;
    album.setArtist(cleanName(*artist));
    album.setTitle(cleanName(*title));
    const QString date = release.value(QStringLiteral("date")).toString();
    if (!date.isEmpty())
        album.setYear(cleanName(date.left(4)));
    for (qsizetype i = 0; i < tracks->size(); ++i) {
        const TrackEntry& entry = tracks->at(i);
        Track track = Track::trackWithArtist(cleanName(entry.artist), cleanName(entry.title), qint32(i + 1));
        track.setRecordingId(entry.recordingId);
        track.setArtistId(entry.artistId);
        album.addTrack(track);
    }

    const QString country = cleanName(release.value(QStringLiteral("country")).toString());
    AlbumOrigin origin =
        AlbumOrigin::musicBrainz(cleanName(release.value(QStringLiteral("id")).toString()), country);
    origin.releaseGroupId =
        mbidOf(release.value(QStringLiteral("release-group")).toObject().value(QStringLiteral("id")));
    origin.albumArtistId = albumArtistId;
    origin.date = dateOf(release.value(QStringLiteral("date")));
    std::tie(origin.label, origin.catalogNumber) =
        labelAndCatalogNumber(release.value(QStringLiteral("label-info")));
    origin.musicBrainzDiscId = discId;
    origin.hasFrontCover =
        release.value(QStringLiteral("cover-art-archive")).toObject().value(QStringLiteral("front")).toBool();
    album.setOrigin(origin);
    // The disc's place in a set goes into the tags ("2/2"), so that players keep the discs of
    // one release apart; a release of one disc has no number to state.
    QString place;
    if (media.size() > 1) {
        album.setDiscNumber(QStringLiteral("%1/%2").arg(medium->second).arg(media.size()));
        place = QStringLiteral("CD ") + album.getDiscNumber();
    }
    match.line =
        AlbumChooser::matchRow(album.getArtist(), album.getTitle(), {album.getYear(), country, place});
    return match;
}
