#include "model/track.h"

Track Track::trackWithArtist(const QString& artist, const QString& title, qint32 number)
{
    Track track;
    track.setArtist(artist);
    track.setTitle(title);
    track.setTrackNum(number);
    return track;
}
