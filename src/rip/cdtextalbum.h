#pragma once

#include "model/album.h"

#include <QList>
#include <QStringList>
#include <optional>

class CdioDisc;

// The album a disc's own CD-Text gives: its title and performer, each track's title and
// performer (a track's name where it has no title). Nothing when the disc carries no titles.
class CdTextAlbum {
public:
    CdTextAlbum() = delete;
    static std::optional<Album> fromDisc(const CdioDisc& disc, const QList<qint32>& numbers, const QStringList& names);
};
