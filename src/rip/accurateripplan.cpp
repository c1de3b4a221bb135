#include "rip/accurateripplan.h"

#include "disc/cdiodisc.h"
#include "disc/disctoc.h"
#include "disc/tracksource.h"

std::optional<AccurateRipPlan> AccurateRipPlan::forDisc(const CdioDisc& disc, const QList<int>& numbers)
{
    AccurateRipPlan plan;
    plan.disc.audioStarts = disc.audioTrackStarts();
    plan.disc.leadout = disc.audioLeadout();
    plan.disc.cddbId = disc.toc().cddbDiscId();
    if (plan.disc.audioStarts.isEmpty())
        return std::nullopt;
    QList<int> audioNumbers;
    for (const CdioDisc::Track& track : disc.tracks())
        if (track.audio)
            audioNumbers.append(track.number);
    for (int number : numbers) {
        const std::optional<CdioDisc::Track> track = disc.track(number);
        plan.places.append({number == 0 ? -1 : int(audioNumbers.indexOf(number)), track ? track->firstSector : 0});
    }
    return plan;
}

std::optional<AccurateRipPlan> AccurateRipPlan::forFolder(const DiscTOC& toc, int audioTracks, const QList<int>& numbers,
                                                          const QList<qint64>& sampleFrames, QString& why)
{
    constexpr qint64 leadIn = 150;
    constexpr qint64 sessionGap = 11400; // between an enhanced CD's audio and its data
    const QList<qint64>& offsets = toc.trackOffsets();
    if (audioTracks <= 0 || audioTracks > offsets.size() || toc.firstTrack() != 1) {
        why = QStringLiteral("the folder's tracks do not match its disc's table of contents");
        return std::nullopt;
    }
    AccurateRipPlan plan;
    for (int i = 0; i < audioTracks; ++i)
        plan.disc.audioStarts.append(offsets[i] - leadIn);
    plan.disc.leadout = audioTracks < offsets.size() ? offsets[audioTracks] - leadIn - sessionGap
                                                     : qint64(toc.leadoutBlock()) - leadIn;
    plan.disc.cddbId = toc.cddbDiscId();
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const int number = numbers[i];
        if (number < 1 || number > audioTracks) {
            why = QStringLiteral("%1 is no track of the disc").arg(number);
            return std::nullopt;
        }
        const qint64 start = plan.disc.audioStarts[number - 1];
        const qint64 end = number < audioTracks ? plan.disc.audioStarts[number] : plan.disc.leadout;
        if (sampleFrames.value(i, -1) != (end - start) * TrackSource::samplesPerSector) {
            why = QStringLiteral("track %1's file is not the length the disc gives it").arg(number);
            return std::nullopt;
        }
        plan.places.append({number - 1, start});
    }
    return plan;
}
