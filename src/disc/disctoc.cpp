#include "disc/disctoc.h"

#include "common/propertylist.h"
#include "common/regularfile.h"

#include <QFile>

using PropertyList::arraySize;
using PropertyList::integerValue;
using PropertyList::item;

qint32 cddb_sum(qint32 x)
{
    qint32 r = 0;
    while (x > 0) {
        r += x % 10;
        x /= 10;
    }
    return r;
}

std::optional<DiscTOC> DiscTOC::readFromFile(const QString& path)
{
    // A disc's table of contents is a few kilobytes; anything else under its name is not one.
    constexpr qint64 maxTocBytes = 1024 * 1024;
    const std::optional<QByteArray> data = RegularFile::read(path, maxTocBytes);
    return data ? readFromData(*data) : std::nullopt;
}

std::optional<DiscTOC> DiscTOC::readFromData(const QByteArray& data)
{
    const PropertyList::Node root = PropertyList::rootFromBytes(data);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    DiscTOC toc;
    const plist_t sessions = item(root.get(), "Sessions");
    const uint32_t sessionCount = arraySize(sessions);
    toc.m_numSessions = static_cast<qint32>(sessionCount);
    for (uint32_t i = 0; i < sessionCount; ++i) {
        const plist_t session = PropertyList::arrayItem(sessions, i);
        // Every session overwrites the length, so the last session's lead-out wins.
        const quint32 leadout =
            static_cast<quint32>(integerValue(item(session, "Leadout Block")).value_or(0));
        toc.m_leadoutBlock = leadout;
        toc.m_totalTime = static_cast<qint32>(leadout / 75);
        const plist_t tracks = item(session, "Track Array");
        const uint32_t trackCount = arraySize(tracks);
        for (uint32_t j = 0; j < trackCount; ++j) {
            // Without a start the identifier would be wrong, and a wrong identifier can fetch
            // another disc's titles: better no lookup at all.
            const auto start = integerValue(item(PropertyList::arrayItem(tracks, j), "Start Block"));
            if (!start)
                return std::nullopt;
            toc.m_trackOffsets.append(*start);
        }
        toc.m_numTracks += static_cast<qint32>(trackCount);
    }
    return toc;
}

DiscTOC DiscTOC::fromOffsets(const QList<qint64>& trackOffsets, quint32 leadoutBlock, qint32 numSessions,
                             qint32 firstTrack)
{
    DiscTOC toc;
    toc.m_leadoutBlock = leadoutBlock;
    toc.m_firstTrack = firstTrack;
    toc.m_trackOffsets = trackOffsets;
    toc.m_numTracks = static_cast<qint32>(trackOffsets.size());
    toc.m_numSessions = numSessions;
    toc.m_totalTime = static_cast<qint32>(leadoutBlock / 75);
    return toc;
}

quint32 DiscTOC::cddbDiscId() const
{
    quint32 n = 0;
    for (const qint64 offset : m_trackOffsets)
        n += static_cast<quint32>(cddb_sum(static_cast<qint32>(offset) / 75));
    // Computed in 32 bits and not masked, like the server does.
    return ((n % 255) << 24) | (static_cast<quint32>(m_totalTime) - 2u) << 8 |
           static_cast<quint32>(m_numTracks);
}
