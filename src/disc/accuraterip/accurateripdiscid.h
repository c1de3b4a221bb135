#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

// A disc's identity in the AccurateRip database: the number of audio tracks, two sums over the
// audio tracks' start sectors and the lead-out, and the CDDB disc id. Sectors are LBAs (0 is the
// first sector after the lead-in, no 150).
struct AccurateRipDiscId {
    int audioTracks = 0;
    quint32 id1 = 0;
    quint32 id2 = 0;
    quint32 cddbId = 0;

    // audioStarts: each audio track's first sector in disc order; leadout: the sector after the
    // last audio track (on an enhanced CD the data session's start less its 11,400-sector gap).
    // Nothing without a track, or with starts out of order or past the lead-out.
    static std::optional<AccurateRipDiscId> fromSectors(const QList<qint64>& audioStarts, qint64 leadout,
                                                        quint32 cddbId);

    // "dBAR-013-001af2de-0105994e-ad0be00d.bin"
    QString fileName() const;
    // Where the database keeps it, below its address: "accuraterip/e/d/2/dBAR-....bin" (id1's last
    // three hex digits, last first).
    QString path() const;
    // "013-001af2de-0105994e-ad0be00d", for logs.
    QString text() const;

    friend bool operator==(const AccurateRipDiscId&, const AccurateRipDiscId&) = default;
};
