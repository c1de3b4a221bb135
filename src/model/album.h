#pragma once

#include "model/albumorigin.h"
#include "model/track.h"

#include <QList>
#include <QString>
#include <QStringList>

// One disc's metadata: artist, title, year (as text), genre, comments and its tracks in the
// order they were added. A null QString stands for a value that was never set; an album that
// does not exist at all is an empty std::optional<Album> wherever one may be missing.
class Album {
public:
    QString getArtist() const { return m_artist; }
    QString getTitle() const { return m_title; }
    QString getYear() const { return m_year; }
    QString getGenre() const { return m_genre; }
    QString getComments() const { return m_comments; }
    // The medium's place in a set of several ("2/2"); null for a single disc or when not known.
    QString getDiscNumber() const { return m_discNumber; }
    void setDiscNumber(const QString& discNumber) { m_discNumber = discNumber; }
    void setArtist(const QString& artist) { m_artist = artist; }
    void setTitle(const QString& title) { m_title = title; }
    void setYear(const QString& year) { m_year = year; }
    void setGenre(const QString& genre) { m_genre = genre; }
    void setComments(const QString& comments) { m_comments = comments; }
    // Which lookup found the album; Source::None for one made from file names or typed in.
    const AlbumOrigin& getOrigin() const { return m_origin; }
    void setOrigin(const AlbumOrigin& origin) { m_origin = origin; }

    // The live list: changes made through it change the album.
    QList<Track>& getTracks() { return m_tracks; }
    const QList<Track>& getTracks() const { return m_tracks; }
    void addTrack(const Track& track) { m_tracks.append(track); }
    // Removes the first track carrying this number; no match leaves the album as it is.
    void removeTrackNumber(qint32 number);

    // An album nobody identified: nothing is known of it but its tracks, count of them titled
    // "Track Title". Its artist, title, year, genre, comments and track artists stay null, so
    // that no tag states what nobody said; names and the editor show the placeholders below.
    static Album defaultAlbum(qint32 count);
    // The same, one track per title, numbered by position from 1.
    static Album defaultAlbumWithTrackTitles(const QStringList& titles);

    // What stands for an unknown artist, album title or track artist where a name must be
    // formed (folders, files, release files) or a field shows what it would hold.
    static QString placeholderArtist() { return QStringLiteral("Artist"); }
    static QString placeholderTitle() { return QStringLiteral("Title"); }
    static QString placeholderTrackArtist() { return QStringLiteral("Artist Name"); }
    // The artist and title for names: the album's own, else the placeholders.
    QString artistForNames() const;
    QString titleForNames() const;

    bool operator==(const Album&) const = default;

private:
    QString m_artist;
    QString m_title;
    QString m_year;
    QString m_genre;
    QString m_comments;
    QString m_discNumber;
    AlbumOrigin m_origin;
    QList<Track> m_tracks;
};
