// Reading arbitrary dBAR bytes as the database's answer for the disc their first response names,
// and judging a rip by whatever responses come out.
#include "lookup/accuraterip/accuraterippressing.h"
#include "lookup/accuraterip/accurateripverdict.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {
// A disc of one to four tracks of 460 sectors, silent but for the input itself played from the
// first track's sector 450, so that the offset search has something to compare.
std::unique_ptr<AccurateRipChecksums> sums(int tracks, const QByteArray& sound)
{
    QList<qint64> starts;
    for (int i = 0; i < tracks; ++i)
        starts.append(460 * i);
    auto disc = std::make_unique<AccurateRipChecksums>(starts, 460 * tracks);
    disc->add(450 * 588, sound.constData(), sound.size());
    return disc;
}

quint32 word(const uint8_t* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 13)
        return 0;
    const AccurateRipDiscId disc{data[0], word(data + 1), word(data + 5), word(data + 9)};
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto pressings = AccurateRipPressing::parse(bytes, disc);
    if (!pressings)
        return 0;
    for (const AccurateRipPressing& pressing : *pressings)
        if (pressing.id != disc || pressing.tracks.size() != disc.audioTracks)
            __builtin_trap();
    if (disc.audioTracks > 4)
        return 0;
    QList<int> all;
    for (int i = 0; i < disc.audioTracks; ++i)
        all.append(i);
    const auto verdict =
        AccurateRipVerdict::judge(*sums(disc.audioTracks, bytes), *pressings, all, data[1] & 1);
    if (verdict.tracks.size() != all.size() || verdict.summary().isEmpty())
        __builtin_trap();
    for (const auto& track : verdict.tracks)
        if (track.text().isEmpty())
            __builtin_trap();
    if (verdict.foundOffset && (*verdict.foundOffset == 0 || qAbs(*verdict.foundOffset) > 2940))
        __builtin_trap();
    return 0;
}
