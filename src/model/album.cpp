#include "model/album.h"

void Album::removeTrackNumber(qint32 number)
{
    for (qsizetype i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i].getTrackNum() == number) {
            m_tracks.removeAt(i);
            return;
        }
    }
}

Album Album::defaultAlbum(qint32 count)
{
    Album album;
    for (qint32 i = 0; i < count; ++i)
        album.addTrack(Track::trackWithArtist(QString(), QStringLiteral("Track Title"), i + 1));
    return album;
}

Album Album::defaultAlbumWithTrackTitles(const QStringList& titles)
{
    Album album;
    for (qsizetype i = 0; i < titles.size(); ++i)
        album.addTrack(Track::trackWithArtist(QString(), titles[i], qint32(i + 1)));
    return album;
}

QString Album::artistForNames() const
{
    return m_artist.isEmpty() ? placeholderArtist() : m_artist;
}

QString Album::titleForNames() const
{
    return m_title.isEmpty() ? placeholderTitle() : m_title;
}
