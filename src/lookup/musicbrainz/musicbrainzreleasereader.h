#pragma once

#include "model/album.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// One release that holds the disc: the album made from it (its origin the release's id and
// country) and the row the match chooser shows for it ("Artist – Title (2019, GB, CD 2/2)").
struct MusicBrainzMatch {
    QString line;
    Album album;
};

// Turns the web service's reply to a disc identifier lookup (JSON) into albums. Pure functions
// over the reply's bytes: a reply that cannot be trusted as a whole gives nothing rather than a
// half-filled album.
class MusicBrainzReleaseReader {
public:
    MusicBrainzReleaseReader() = delete;

    // Longest reply accepted. Real replies stay far below; a bigger one is not a disc lookup's.
    static constexpr qsizetype maxReplySize = 2 * 1024 * 1024;

    // Every usable release of the reply, in the reply's order. An empty list when the reply lists
    // no release; nothing when it is not such a reply (not JSON, too big, no release list) or
    // when it lists releases of which none is usable.
    static std::optional<QList<MusicBrainzMatch>> readMatches(const QByteArray& reply, const QString& discId,
                                                              qint32 trackCount);

    // The album of one release on the medium that is the disc: the medium listing discId, else
    // the first with trackCount tracks. Names are kept as the service gives them, less control
    // characters. In a release of several media the album's disc number is "position/count".
    // The origin carries the release's ids and facts (AlbumOrigin), each track its recording and
    // artist ids; an id that is not in MusicBrainz's form is left empty.
    // Nothing when names are missing or the medium has fewer tracks than the disc.
    static std::optional<MusicBrainzMatch> readRelease(const QJsonObject& release, const QString& discId,
                                                       qint32 trackCount);
};
