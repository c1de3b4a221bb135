#include "rip/cdtextalbum.h"

#include "disc/cdiodisc.h"

std::optional<Album> CdTextAlbum::fromDisc(const CdioDisc& disc, const QList<qint32>& numbers, const QStringList& names)
{
    Album album;
    album.setArtist(disc.performer());
    album.setTitle(disc.title());
    bool any = !album.getArtist().isEmpty() || !album.getTitle().isEmpty();
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        // CD-Text's entry 0 is the album's: a hidden track has none of its own.
        const QString title = numbers[i] == 0 ? QString() : disc.title(numbers[i]);
        const QString performer = numbers[i] == 0 ? QString() : disc.performer(numbers[i]);
        any = any || !title.isEmpty();
        // A track's performer is its own artist only where it is not the album's.
        album.addTrack(Track::trackWithArtist(performer == album.getArtist() ? QString() : performer,
                                              title.isEmpty() ? (numbers[i] == 0 ? QStringLiteral("Hidden track") : names.value(i)) : title,
                                              numbers[i]));
    }
    if (!any)
        return std::nullopt;
    return album;
}
