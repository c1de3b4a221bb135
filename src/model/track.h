#pragma once

#include <QString>

// One track of a disc: its artist, its title and its number on the disc (counted from 1), and
// for a track MusicBrainz knows, its recording's id and the ids of its credited artists (joined
// by "/" in the credit's order). A null QString stands for a value that was never set.
class Track {
public:
    Track() = default;
    static Track trackWithArtist(const QString& artist, const QString& title, qint32 number);

    QString getArtist() const { return m_artist; }
    QString getTitle() const { return m_title; }
    qint32 getTrackNum() const { return m_trackNum; }
    void setArtist(const QString& artist) { m_artist = artist; }
    void setTitle(const QString& title) { m_title = title; }
    void setTrackNum(qint32 number) { m_trackNum = number; }
    QString getRecordingId() const { return m_recordingId; }
    QString getArtistId() const { return m_artistId; }
    void setRecordingId(const QString& id) { m_recordingId = id; }
    void setArtistId(const QString& ids) { m_artistId = ids; }

    bool operator==(const Track&) const = default;

private:
    QString m_artist;
    QString m_title;
    qint32 m_trackNum = 0;
    QString m_recordingId;
    QString m_artistId;
};
