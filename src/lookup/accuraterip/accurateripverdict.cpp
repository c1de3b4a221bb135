#include "lookup/accuraterip/accurateripverdict.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {
using Result = AccurateRipVerdict::Track::Result;

// The copies of every pressing whose checksum for the track is `checksum`.
int agreeingCopies(const QList<AccurateRipPressing>& pressings, int index, quint32 checksum)
{
    int copies = 0;
    for (const AccurateRipPressing& pressing : pressings)
        if (index < pressing.tracks.size() && pressing.tracks[index].confidence > 0 &&
            pressing.tracks[index].checksum == checksum)
            copies += pressing.tracks[index].confidence;
    return copies;
}

bool hasSector450Value(const QList<AccurateRipPressing>& pressings, int index)
{
    return std::any_of(pressings.begin(), pressings.end(), [index](const AccurateRipPressing& pressing) {
        return index < pressing.tracks.size() && pressing.tracks[index].sector450 != 0;
    });
}

bool matchesSector450(const QList<AccurateRipPressing>& pressings, int index, quint32 value)
{
    return std::any_of(pressings.begin(), pressings.end(),
                       [index, value](const AccurateRipPressing& pressing) {
                           return index < pressing.tracks.size() && pressing.tracks[index].sector450 != 0 &&
                                  pressing.tracks[index].sector450 == value;
                       });
}

AccurateRipVerdict::Track judgeAtZero(const AccurateRipChecksums& sums,
                                      const QList<AccurateRipPressing>& pressings, int index)
{
    AccurateRipVerdict::Track track;
    track.index = index;
    if (index < 0 || index >= sums.trackCount())
        return track;
    track.v1 = sums.track(index).v1;
    track.v2 = sums.track(index).v2;
    const int v2Copies = agreeingCopies(pressings, index, track.v2);
    const int v1Copies = track.v1 == track.v2 ? 0 : agreeingCopies(pressings, index, track.v1);
    // v2 and v1 submissions of the same copies come as separate responses: the confidence is
    // that of the version that matched, v2 first, not the two added up.
    if (v1Copies + v2Copies > 0) {
        track.result = Result::Accurate;
        track.confidence = v2Copies > 0 ? v2Copies : v1Copies;
        track.version = v2Copies > 0 ? 2 : 1;
        return track;
    }
    for (const AccurateRipPressing& pressing : pressings)
        if (index < pressing.tracks.size())
            track.bestConfidence = std::max(track.bestConfidence, pressing.tracks[index].confidence);
    track.result = track.bestConfidence > 0 ? Result::NotAccurate : Result::NotInDatabase;
    return track;
}
} // namespace

QString AccurateRipVerdict::Track::text() const
{
    switch (result) {
    case Result::Accurate:
        if (offset != 0)
            return QStringLiteral("accurately ripped (confidence %1, v%2, another pressing, offset %3%4)")
                .arg(confidence)
                .arg(version)
                .arg(offset > 0 ? QStringLiteral("+") : QString())
                .arg(offset);
        return QStringLiteral("accurately ripped (confidence %1, v%2)").arg(confidence).arg(version);
    case Result::NotAccurate:
        if (bestConfidence == 1)
            return QStringLiteral("not accurately ripped (the database has 1 copy)");
        return QStringLiteral("not accurately ripped (the database has %1 copies that agree with each other)")
            .arg(bestConfidence);
    case Result::NotInDatabase:
        return QStringLiteral("not in the database");
    case Result::NotChecked:
        break;
    }
    return QString();
}

bool AccurateRipVerdict::allAccurate() const
{
    return !tracks.isEmpty() && std::all_of(tracks.begin(), tracks.end(),
                                            [](const Track& t) { return t.result == Result::Accurate; });
}

QString AccurateRipVerdict::summary() const
{
    const auto checked = std::count_if(tracks.begin(), tracks.end(),
                                       [](const Track& t) { return t.result != Result::NotChecked; });
    const auto accurate = std::count_if(tracks.begin(), tracks.end(),
                                        [](const Track& t) { return t.result == Result::Accurate; });
    const auto unknown = std::count_if(tracks.begin(), tracks.end(),
                                       [](const Track& t) { return t.result == Result::NotInDatabase; });
    if (checked == 0)
        return QStringLiteral("No track checked.");
    if (unknown == checked)
        return QStringLiteral("The disc is not in the AccurateRip database.");
    if (accurate == 0)
        return QStringLiteral("No track accurately ripped.");
    if (accurate == checked)
        return checked == 1 ? QStringLiteral("The track was accurately ripped.")
                            : QStringLiteral("All %1 tracks accurately ripped.").arg(checked);
    return QStringLiteral("%1 of %2 tracks accurately ripped.").arg(accurate).arg(checked);
}

AccurateRipVerdict AccurateRipVerdict::judge(const AccurateRipChecksums& sums,
                                             const QList<AccurateRipPressing>& pressings,
                                             const QList<int>& tracksToCheck, bool offsetKnown)
{
    AccurateRipVerdict verdict;
    for (const int index : tracksToCheck)
        verdict.tracks.append(judgeAtZero(sums, pressings, index));

    // The tracks that did not match at 0 and that the database can place by their sector 450.
    const auto accurateAtZero = std::count_if(verdict.tracks.begin(), verdict.tracks.end(),
                                              [](const Track& t) { return t.result == Result::Accurate; });
    std::vector<int> placeable;
    std::vector<std::vector<quint32>> sector450;
    for (const Track& track : verdict.tracks)
        if (track.result == Result::NotAccurate && sums.hasSector450(track.index) &&
            hasSector450Value(pressings, track.index)) {
            placeable.push_back(track.index);
            sector450.push_back(sums.sector450AtEveryOffset(track.index));
        }
    if (placeable.empty())
        return verdict;

    // The offset most tracks agree on, the nearer to 0 of two as good.
    const int M = AccurateRipChecksums::maxOffset;
    int best = 0;
    int bestTracks = 0;
    for (int distance = 1; distance <= M; ++distance)
        for (const int offset : {-distance, distance}) {
            int agreeing = 0;
            for (std::size_t t = 0; t < placeable.size(); ++t)
                agreeing += matchesSector450(pressings, placeable[t], sector450[t][std::size_t(offset + M)]);
            if (agreeing > bestTracks) {
                best = offset;
                bestTracks = agreeing;
            }
        }
    if (bestTracks == 0)
        return verdict;

    // Whole tracks confirm it by their v1 checksum at that offset. A database that holds v2
    // checksums only cannot; then enough tracks agreeing on sector 450 will do.
    std::vector<std::pair<qsizetype, int>> confirmed; // (verdict track, copies)
    for (qsizetype i = 0; i < verdict.tracks.size(); ++i) {
        const Track& track = verdict.tracks[i];
        if (track.result == Result::Accurate || track.result == Result::NotChecked)
            continue;
        const int copies = agreeingCopies(pressings, track.index, sums.v1At(track.index, best));
        if (copies > 0)
            confirmed.emplace_back(i, copies);
    }
    const int enoughTracks = std::min(2, int(placeable.size()));
    if (confirmed.empty() && bestTracks < enoughTracks)
        return verdict;

    if (offsetKnown) {
        for (const auto& [i, copies] : confirmed) {
            Track& track = verdict.tracks[i];
            track.result = Result::Accurate;
            track.confidence = copies;
            track.version = 1;
            track.offset = best;
            track.bestConfidence = 0;
        }
    } else if (bestTracks > accurateAtZero) {
        verdict.foundOffset = best;
        verdict.foundOffsetTracks = bestTracks;
    }
    return verdict;
}
