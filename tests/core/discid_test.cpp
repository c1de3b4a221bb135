// The disc identifier checked against independent sources: the identifiers a real freedb server
// gave, the real entries' own DISCID, and libdiscid's computation for the same offsets. The
// tracks' lengths must give the same identifier as the disc's table for a plain audio CD.
#include "disc/tracklengthtoc.h"
#include "lookup/disctoc.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <discid/discid.h>
#include <gtest/gtest.h>

namespace {
QString hex(quint32 id)
{
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

QString libdiscidId(const QList<qint64>& offsets, qint64 leadout)
{
    std::vector<int> table{int(leadout)};
    for (const qint64 offset : offsets)
        table.push_back(int(offset));
    DiscId* disc = discid_new();
    EXPECT_TRUE(discid_put(disc, 1, int(offsets.size()), table.data()));
    const QString id = QString::fromLatin1(discid_get_freedb_id(disc));
    discid_free(disc);
    return id;
}
} // namespace

TEST(DiscId, AgreesWithTheServerAndLibdiscid)
{
    QFile file(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-server-transcripts/discids.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString transcript = QString::fromLatin1(file.readAll());
    // "discid <n> <offsets...> <seconds>" and the server's "Disc ID is <id>".
    static const QRegularExpression pair(
        QStringLiteral(R"(C: b'discid ([0-9 ]+)\\r\\n'\s*S: b'200 Disc ID is ([0-9a-f]{8}))"));
    int checked = 0;
    for (auto it = pair.globalMatch(transcript); it.hasNext();) {
        const auto m = it.next();
        SCOPED_TRACE(m.captured(1).toStdString());
        const QStringList numbers = m.captured(1).split(u' ', Qt::SkipEmptyParts);
        QList<qint64> offsets;
        for (int i = 1; i < numbers.size() - 1; ++i)
            offsets << numbers[i].toLongLong();
        // The server subtracts the first track's start from the length where the identifier takes
        // a fixed two seconds; only offsets without the lead-in, which no real table has, differ.
        if (offsets.first() / 75 != 2)
            continue;
        const qint64 leadout = numbers.last().toLongLong() * 75 + 74;
        const quint32 id = DiscTOC::fromOffsets(offsets, quint32(leadout)).cddbDiscId();
        EXPECT_EQ(hex(id), m.captured(2));
        EXPECT_EQ(hex(id), libdiscidId(offsets, leadout));
        ++checked;
    }
    EXPECT_EQ(checked, 18);
}

// A gvfs CD mount holds each track from its first sector to its last: its lengths are the gaps
// between the real entries' offsets, the last one up to the lead-out.
TEST(DiscId, TrackLengthsGiveTheRealEntriesIdentifiers)
{
    const QDir entries(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries"));
    int plain = 0;
    for (const QString& name : entries.entryList({QStringLiteral("*-*")}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        QFile file(entries.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString entry = QString::fromLatin1(file.readAll());
        const QString header = entry.section(QStringLiteral("Disc length"), 0, 0);
        QList<qint64> offsets;
        static const QRegularExpression offsetLine(QStringLiteral(R"(^#\s+(\d+)\s*$)"),
                                                   QRegularExpression::MultilineOption);
        for (auto it = offsetLine.globalMatch(header); it.hasNext();)
            offsets << it.next().captured(1).toLongLong();
        static const QRegularExpression length(QStringLiteral(R"(Disc length:\s*(\d+))"));
        const qint64 leadout = length.match(entry).captured(1).toLongLong() * 75;
        ASSERT_GT(offsets.size(), 3);
        const QString expected = name.section(u'-', 1);

        EXPECT_EQ(hex(DiscTOC::fromOffsets(offsets, quint32(leadout)).cddbDiscId()), expected);
        EXPECT_EQ(libdiscidId(offsets, leadout), expected);
        QList<qint64> sampleFrames;
        for (qsizetype i = 0; i < offsets.size(); ++i)
            sampleFrames << ((i + 1 < offsets.size() ? offsets[i + 1] : leadout) - offsets[i]) * 588;
        const auto fromLengths = TrackLengthTOC::fromSampleFrames(sampleFrames);
        ASSERT_TRUE(fromLengths);
        if (offsets.first() == 150) {
            EXPECT_EQ(fromLengths->trackOffsets(), offsets);
            EXPECT_EQ(hex(fromLengths->cddbDiscId()), expected);
            ++plain;
        } else {
            // A first track that starts late shifts every offset: only the drive's table is exact.
            EXPECT_NE(hex(fromLengths->cddbDiscId()), expected);
        }
    }
    EXPECT_EQ(plain, 9);
}
