#pragma once

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
    void setArtist(const QString& artist) { m_artist = artist; }
    void setTitle(const QString& title) { m_title = title; }
    void setYear(const QString& year) { m_year = year; }
    void setGenre(const QString& genre) { m_genre = genre; }
    void setComments(const QString& comments) { m_comments = comments; }

    // The live list: changes made through it change the album.
    QList<Track>& getTracks() { return m_tracks; }
    const QList<Track>& getTracks() const { return m_tracks; }
    void addTrack(const Track& track) { m_tracks.append(track); }
    // Removes the first track carrying this number; no match leaves the album as it is.
    void removeTrackNumber(qint32 number);

    // "Artist", "Title", "1900", "Rock", "Ripped by Vesk" and count tracks "Track Title".
    static Album defaultAlbum(qint32 count);
    // The same album texts, one track per title, numbered by position from 1.
    static Album defaultAlbumWithTrackTitles(const QStringList& titles);

    bool operator==(const Album&) const = default;

private:
    QString m_artist;
    QString m_title;
    QString m_year;
    QString m_genre;
    QString m_comments;
    QList<Track> m_tracks;
};
