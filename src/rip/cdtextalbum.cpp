#include "rip/cdtextalbum.h"

#include "disc/cdiodisc.h"

std::optional<Album> CdTextAlbum::fromDisc(const CdioDisc& disc, const QList<qint32>& numbers, const QStringList& names)
{
    Album album;
    album.setArtist(disc.performer());
    album.setTitle(disc.title());
    bool any = !album.getArtist().isEmpty() || !album.getTitle().isEmpty();
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const QString title = disc.title(numbers[i]);
        const QString performer = disc.performer(numbers[i]);
        any = any || !title.isEmpty();
        // A track's performer is its own artist only where it is not the album's.
        album.addTrack(Track::trackWithArtist(performer == album.getArtist() ? QString() : performer,
                                              title.isEmpty() ? names.value(i) : title, numbers[i]));
    }
    if (!any)
        return std::nullopt;
    return album;
}
