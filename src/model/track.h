#pragma once

#include <QString>

// One track of a disc: its artist, its title and its number on the disc (counted from 1).
// A null QString stands for a value that was never set.
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

    bool operator==(const Track&) const = default;

private:
    QString m_artist;
    QString m_title;
    qint32 m_trackNum = 0;
};
