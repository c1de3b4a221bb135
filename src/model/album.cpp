#include "model/album.h"

namespace {
Album albumWithDefaultTexts()
{
    Album album;
    album.setArtist(QStringLiteral("Artist"));
    album.setTitle(QStringLiteral("Title"));
    album.setYear(QStringLiteral("1900"));
    album.setGenre(QStringLiteral("Rock"));
    album.setComments(QStringLiteral("Ripped by Vesk"));
    return album;
}
} // namespace

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
    Album album = albumWithDefaultTexts();
    for (qint32 i = 0; i < count; ++i)
        album.addTrack(Track::trackWithArtist(QStringLiteral("Artist Name"), QStringLiteral("Track Title"), i + 1));
    return album;
}

Album Album::defaultAlbumWithTrackTitles(const QStringList& titles)
{
    Album album = albumWithDefaultTexts();
    for (qsizetype i = 0; i < titles.size(); ++i)
        album.addTrack(Track::trackWithArtist(QStringLiteral("Artist Name"), titles[i], qint32(i + 1)));
    return album;
}
