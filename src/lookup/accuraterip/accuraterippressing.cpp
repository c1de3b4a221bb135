#include "lookup/accuraterip/accuraterippressing.h"

namespace {
constexpr qsizetype headerBytes = 13;
constexpr qsizetype trackBytes = 9;

quint32 littleEndian32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}
} // namespace

std::optional<QList<AccurateRipPressing>> AccurateRipPressing::parse(const QByteArray& data,
                                                                     const AccurateRipDiscId& disc)
{
    if (data.isEmpty() || data.size() > maxFileBytes || disc.audioTracks < 1 || disc.audioTracks > 255)
        return std::nullopt;
    const qsizetype responseBytes = headerBytes + trackBytes * disc.audioTracks;
    // Every response has the disc's track count, so a file of another length is not one.
    if (data.size() % responseBytes != 0)
        return std::nullopt;
    QList<AccurateRipPressing> pressings;
    for (qsizetype at = 0; at < data.size(); at += responseBytes) {
        const char* p = data.constData() + at;
        AccurateRipPressing pressing;
        pressing.id.audioTracks = static_cast<unsigned char>(p[0]);
        pressing.id.id1 = littleEndian32(p + 1);
        pressing.id.id2 = littleEndian32(p + 5);
        pressing.id.cddbId = littleEndian32(p + 9);
        if (pressing.id != disc)
            return std::nullopt;
        for (int track = 0; track < disc.audioTracks; ++track) {
            const char* t = p + headerBytes + trackBytes * track;
            pressing.tracks.append(
                {static_cast<unsigned char>(t[0]), littleEndian32(t + 1), littleEndian32(t + 5)});
        }
        pressings.append(pressing);
    }
    return pressings;
}
