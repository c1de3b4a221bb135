#include "disc/accuraterip/accurateripchecksums.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {
constexpr qint64 sectorFrames = 588;
constexpr qint64 sector450Begin = 450 * sectorFrames;
// The first track's checksum leaves out its first five sectors but one frame, the last track's its
// last five sectors.
constexpr qint64 skippedAtDiscStart = 5 * sectorFrames - 1;
constexpr qint64 skippedAtDiscEnd = 5 * sectorFrames;

enum WindowKind { StartWindow, EndWindow, SectorWindow };

inline quint32 frameWord(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
} // namespace

bool AccurateRipChecksums::Track::complete() const
{
    return samples == length;
}

AccurateRipChecksums::AccurateRipChecksums(const QList<qint64>& trackStarts, qint64 leadout, int shift)
{
    const auto count = std::size_t(trackStarts.size());
    m_tracks.resize(count);
    m_spans.resize(count);
    const qint64 M = maxOffset;
    // Starts out of order would make tracks overlap; such a track is taken as empty instead.
    qint64 previous = trackStarts.isEmpty() ? 0 : trackStarts.front();
    std::vector<qint64> starts;
    for (const qint64 start : trackStarts)
        starts.push_back(previous = std::max(previous, start));
    const qint64 last = std::max(leadout, previous);
    for (std::size_t i = 0; i < count; ++i) {
        const qint64 end = i + 1 < count ? starts[i + 1] : last;
        Span& span = m_spans[i];
        span.begin = starts[i] * sectorFrames + shift;
        span.end = end * sectorFrames + shift;
        m_tracks[i].length = span.end - span.begin;
        span.countedBegin = span.begin + (i == 0 ? skippedAtDiscStart : 0);
        span.countedEnd = std::max(span.countedBegin, span.end - (i + 1 == count ? skippedAtDiscEnd : 0));
        const int track = int(i);
        m_windows.push_back(
            {span.countedBegin - M, std::vector<quint32>(std::size_t(2 * M)), track, StartWindow});
        m_windows.push_back(
            {span.countedEnd - M, std::vector<quint32>(std::size_t(2 * M)), track, EndWindow});
        m_windows.push_back({span.begin + sector450Begin - M,
                             std::vector<quint32>(std::size_t(sectorFrames + 2 * M)), track, SectorWindow});
    }
    std::stable_sort(m_windows.begin(), m_windows.end(),
                     [](const Window& a, const Window& b) { return a.first < b.first; });
    for (std::size_t w = 0; w < m_windows.size(); ++w) {
        Span& span = m_spans[std::size_t(m_windows[w].track)];
        switch (m_windows[w].kind) {
        case StartWindow:
            span.startWindow = int(w);
            break;
        case EndWindow:
            span.endWindow = int(w);
            break;
        default:
            span.sectorWindow = int(w);
        }
        m_widestWindow = std::max(m_widestWindow, qint64(m_windows[w].samples.size()));
    }
    if (count > 0) {
        m_begin = m_spans.front().begin;
        m_end = m_spans.back().end;
    }
}

void AccurateRipChecksums::add(qint64 position, const char* data, qint64 bytes)
{
    if (bytes <= 0)
        return;
    if (m_partialBytes > 0) {
        if (position != m_partialPosition) {
            m_partialBytes = 0;
        } else {
            const qint64 taken = std::min<qint64>(4 - m_partialBytes, bytes);
            std::memcpy(m_partial + m_partialBytes, data, std::size_t(taken));
            m_partialBytes += int(taken);
            data += taken;
            bytes -= taken;
            if (m_partialBytes < 4)
                return;
            addFrames(position, m_partial, 1);
            m_partialBytes = 0;
            ++position;
        }
    }
    const qint64 frames = bytes / 4;
    addFrames(position, data, frames);
    const int rest = int(bytes % 4);
    if (rest > 0) {
        std::memcpy(m_partial, data + frames * 4, std::size_t(rest));
        m_partialBytes = rest;
        m_partialPosition = position + frames;
    }
}

void AccurateRipChecksums::addFrames(qint64 position, const char* data, qint64 frames)
{
    const qint64 from = std::max(position, m_begin);
    const qint64 to = std::min(position + frames, m_end);
    if (from >= to)
        return;
    // The first track ending after `from`; the tracks lie end to end.
    auto it = std::upper_bound(m_spans.begin(), m_spans.end(), from,
                               [](qint64 at, const Span& span) { return at < span.end; });
    for (; it != m_spans.end() && it->begin < to; ++it) {
        const qint64 a = std::max(from, it->begin);
        const qint64 b = std::min(to, it->end);
        if (a < b)
            addToTrack(int(it - m_spans.begin()), a, b, data + (a - position) * 4);
    }
}

void AccurateRipChecksums::addToTrack(int index, qint64 from, qint64 to, const char* data)
{
    auto& given = m_spans[std::size_t(index)].given;
    // The first given range that touches or follows `from`.
    auto it =
        std::lower_bound(given.begin(), given.end(), from,
                         [](const std::pair<qint64, qint64>& range, qint64 at) { return range.second < at; });
    const auto firstTouching = it;
    qint64 cursor = from;
    qint64 mergedBegin = from;
    qint64 mergedEnd = to;
    for (; it != given.end() && it->first <= to; ++it) {
        if (it->first > cursor)
            addNew(index, cursor, it->first, data + (cursor - from) * 4);
        cursor = std::max(cursor, it->second);
        mergedBegin = std::min(mergedBegin, it->first);
        mergedEnd = std::max(mergedEnd, it->second);
    }
    if (cursor < to)
        addNew(index, cursor, to, data + (cursor - from) * 4);
    const auto inserted = given.erase(firstTouching, it);
    given.insert(inserted, {mergedBegin, mergedEnd});
}

void AccurateRipChecksums::addNew(int index, qint64 from, qint64 to, const char* data)
{
    Track& track = m_tracks[std::size_t(index)];
    Span& span = m_spans[std::size_t(index)];
    track.samples += to - from;

    const qint64 a = std::max(from, span.countedBegin);
    const qint64 b = std::min(to, span.countedEnd);
    if (a < b) {
        quint32 v1 = track.v1;
        quint32 high = 0;
        quint32 sum = span.countedSum;
        const quint32 firstK = quint32(a - span.begin + 1);
        const char* p = data + (a - from) * 4;
        // No track has 2^32 frames, so 32-bit counting is enough.
        const quint32 n = quint32(b - a);
        for (quint32 j = 0; j < n; ++j) {
            const quint32 x = frameWord(p + 4 * j);
            const quint64 product = quint64(firstK + quint32(j)) * x;
            v1 += quint32(product);
            high += quint32(product >> 32);
            sum += x;
        }
        // v2 adds the high halves of the products to v1's low halves.
        track.v2 += (v1 - track.v1) + high;
        track.v1 = v1;
        span.countedSum = sum;
    }

    if (track.length >= sector450Begin + sectorFrames) {
        const qint64 first = span.begin + sector450Begin;
        const qint64 c = std::max(from, first);
        const qint64 d = std::min(to, first + sectorFrames);
        quint32 k = quint32(c - first + 1);
        for (qint64 at = c; at < d; ++at, ++k)
            track.sector450 += k * frameWord(data + (at - from) * 4);
    }
    keepInWindows(from, to, data);
}

void AccurateRipChecksums::keepInWindows(qint64 from, qint64 to, const char* data)
{
    auto it = std::lower_bound(m_windows.begin(), m_windows.end(), from - m_widestWindow + 1,
                               [](const Window& window, qint64 at) { return window.first < at; });
    for (; it != m_windows.end() && it->first < to; ++it) {
        const qint64 a = std::max(from, it->first);
        const qint64 b = std::min(to, it->first + qint64(it->samples.size()));
        quint32* out = it->samples.data() + (a - it->first);
        for (qint64 at = a; at < b; ++at)
            *out++ = frameWord(data + (at - from) * 4);
    }
}

int AccurateRipChecksums::trackCount() const
{
    return int(m_tracks.size());
}

const AccurateRipChecksums::Track& AccurateRipChecksums::track(int index) const
{
    return m_tracks.at(std::size_t(index));
}

qint64 AccurateRipChecksums::trackSamples(int index) const
{
    return m_tracks.at(std::size_t(index)).length;
}

std::pair<quint32, quint32> AccurateRipChecksums::windowSums(const Window& window, qint64 trackBegin,
                                                             qint64 from, qint64 to) const
{
    quint32 weighted = 0;
    quint32 plain = 0;
    const qint64 size = qint64(window.samples.size());
    quint32 k = quint32(from - trackBegin + 1);
    for (qint64 at = from; at < to; ++at, ++k) {
        const qint64 i = at - window.first;
        const quint32 x = i >= 0 && i < size ? window.samples[std::size_t(i)] : 0;
        weighted += k * x;
        plain += x;
    }
    return {weighted, plain};
}

quint32 AccurateRipChecksums::v1At(int index, int offset) const
{
    const Track& track = m_tracks.at(std::size_t(index));
    const Span& span = m_spans[std::size_t(index)];
    if (span.countedEnd <= span.countedBegin)
        return 0;
    if (offset == 0)
        return track.v1;
    offset = std::clamp(offset, -maxOffset, maxOffset);
    // The counted frames at `offset` are those at 0 moved by `offset` positions: take off what
    // leaves the range at one edge and add what enters it at the other, each weighted by its
    // place in the track at 0; the change of every multiplier by -offset comes last.
    const Window& start = m_windows[std::size_t(span.startWindow)];
    const Window& end = m_windows[std::size_t(span.endWindow)];
    quint32 weighted = track.v1;
    quint32 plain = span.countedSum;
    const auto apply = [&](std::pair<quint32, quint32> sums, bool entering) {
        weighted += entering ? sums.first : 0u - sums.first;
        plain += entering ? sums.second : 0u - sums.second;
    };
    if (offset > 0) {
        apply(windowSums(start, span.begin, span.countedBegin, span.countedBegin + offset), false);
        apply(windowSums(end, span.begin, span.countedEnd, span.countedEnd + offset), true);
    } else {
        apply(windowSums(start, span.begin, span.countedBegin + offset, span.countedBegin), true);
        apply(windowSums(end, span.begin, span.countedEnd + offset, span.countedEnd), false);
    }
    return weighted - quint32(qint64(offset)) * plain;
}

quint32 AccurateRipChecksums::sector450At(int index, int offset) const
{
    const Window& window = m_windows[std::size_t(m_spans.at(std::size_t(index)).sectorWindow)];
    const auto first = std::size_t(std::clamp(offset, -maxOffset, maxOffset) + maxOffset);
    quint32 value = 0;
    for (std::size_t j = 0; j < std::size_t(sectorFrames); ++j)
        value += quint32(j + 1) * window.samples[first + j];
    return value;
}

std::vector<quint32> AccurateRipChecksums::sector450AtEveryOffset(int index) const
{
    const std::vector<quint32>& x =
        m_windows[std::size_t(m_spans.at(std::size_t(index)).sectorWindow)].samples;
    std::vector<quint32> values(std::size_t(2 * maxOffset + 1));
    // S(o + 1) = S(o) − W(o) + 588·x[o + 588], W(o) the plain sum of the sector at o.
    quint32 value = 0;
    quint32 plain = 0;
    for (std::size_t j = 0; j < std::size_t(sectorFrames); ++j) {
        value += quint32(j + 1) * x[j];
        plain += x[j];
    }
    values[0] = value;
    for (std::size_t o = 1; o < values.size(); ++o) {
        const quint32 entering = x[o - 1 + std::size_t(sectorFrames)];
        value += quint32(sectorFrames) * entering - plain;
        plain += entering - x[o - 1];
        values[o] = value;
    }
    return values;
}

bool AccurateRipChecksums::hasSector450(int index) const
{
    return trackSamples(index) >= sector450Begin + sectorFrames + maxOffset;
}
