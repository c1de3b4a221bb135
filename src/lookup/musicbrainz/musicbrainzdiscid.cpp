#include "lookup/musicbrainz/musicbrainzdiscid.h"

#include <discid/discid.h>
#include <memory>

namespace {
struct DiscIdFree {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

// An enhanced CD's last session holds one data track, which MusicBrainz leaves out: the audio
// ends 11400 frames (the gap between the sessions) before the data track starts.
constexpr qint64 kSessionGap = 11400;
} // namespace

std::optional<MusicBrainzDiscId> MusicBrainzDiscId::fromTOC(const DiscTOC& toc)
{
    QList<qint64> offsets = toc.trackOffsets();
    qint64 leadout = toc.leadoutBlock();
    if (toc.numSessions() > 1 && offsets.size() > 1)
        leadout = offsets.takeLast() - kSessionGap;
    // libdiscid takes the offsets by track number, the lead-out in place 0.
    const qint32 first = toc.firstTrack();
    if (offsets.isEmpty() || offsets.size() > 99 || first < 1 || first > 99 || leadout > 0x7fffffff)
        return std::nullopt;
    const qint32 last = first + static_cast<qint32>(offsets.size()) - 1;
    if (last > 99)
        return std::nullopt;
    int values[100] = {};
    values[0] = static_cast<int>(leadout);
    for (qsizetype i = 0; i < offsets.size(); ++i) {
        const qint64 previous = i == 0 ? 0 : offsets[i - 1];
        if (offsets[i] <= previous || offsets[i] >= leadout)
            return std::nullopt;
        values[first + i] = static_cast<int>(offsets[i]);
    }
    const std::unique_ptr<DiscId, DiscIdFree> disc(discid_new());
    if (!disc || !discid_put(disc.get(), first, last, values))
        return std::nullopt;
    MusicBrainzDiscId result;
    result.m_id = QString::fromLatin1(discid_get_id(disc.get()));
    result.m_toc = QString::fromLatin1(discid_get_toc_string(disc.get()));
    result.m_trackCount = static_cast<qint32>(offsets.size());
    return result;
}
