#pragma once

#include "disc/accuraterip/accurateripdiscid.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// One response in a dBAR file of the AccurateRip database: a set of checksums that submitters'
// copies of the disc agreed on (one pressing; v1 and v2 submissions come as separate responses).
struct AccurateRipPressing {
    struct Track {
        int confidence = 0;      // how many copies agree
        quint32 checksum = 0;    // v1 or v2, the file does not say which
        quint32 sector450 = 0;   // for finding offsets; 0 when not given
    };
    AccurateRipDiscId id;
    QList<Track> tracks;

    // A whole dBAR file: one or more responses, each 13 bytes (track count, id1, id2, CDDB id,
    // little-endian) and 9 a track (confidence, checksum, sector-450 value). Nothing ("not in the
    // database") when the data is empty, not that shape (an HTML page, a short or long file), or
    // a response's ids or track count are not the disc's. Files over maxFileBytes are refused.
    static std::optional<QList<AccurateRipPressing>> parse(const QByteArray& data, const AccurateRipDiscId& disc);
    static constexpr qsizetype maxFileBytes = 1024 * 1024;
};
