// The disc identifier of the real entries, from their offsets and from their tracks' lengths as
// a gvfs CD mount shows them (each track from its first sector to its last), checked against the
// entries' own DISCID and libdiscid's computation for the same offsets.
#include "disc/tracklengthtoc.h"

#include <QDir>
#include <QRegularExpression>
#include <discid/discid.h>
#include <gtest/gtest.h>

TEST(DiscId, RealEntriesFromOffsetsLibdiscidAndTrackLengths)
{
    const QDir entries(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries"));
    static const QRegularExpression offsetLine(QStringLiteral(R"(^#\s+(\d+)\s*$)"),
                                               QRegularExpression::MultilineOption);
    static const QRegularExpression length(QStringLiteral(R"(Disc length:\s*(\d+))"));
    const auto hex = [](quint32 id) { return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')); };
    int plain = 0;
    for (const QString& name : entries.entryList({QStringLiteral("*-*")}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        QFile file(entries.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString entry = QString::fromLatin1(file.readAll());
        QList<qint64> offsets;
        std::vector<int> table{int(length.match(entry).captured(1).toInt() * 75)};
        for (auto it = offsetLine.globalMatch(entry.section(QStringLiteral("Disc length"), 0, 0));
             it.hasNext();)
            table.push_back(int(offsets.emplace_back(it.next().captured(1).toLongLong())));
        const QString expected = name.section(u'-', 1);
        EXPECT_EQ(hex(DiscTOC::fromOffsets(offsets, quint32(table[0])).cddbDiscId()), expected);
        DiscId* disc = discid_new();
        ASSERT_TRUE(discid_put(disc, 1, int(offsets.size()), table.data()));
        EXPECT_EQ(QString::fromLatin1(discid_get_freedb_id(disc)), expected);
        discid_free(disc);

        QList<qint64> sampleFrames;
        for (qsizetype i = 0; i < offsets.size(); ++i)
            sampleFrames << ((i + 1 < offsets.size() ? offsets[i + 1] : table[0]) - offsets[i]) * 588;
        const auto fromLengths = TrackLengthTOC::fromSampleFrames(sampleFrames);
        ASSERT_TRUE(fromLengths);
        // A first track that starts late shifts every offset: only the drive's table is exact then.
        EXPECT_EQ(hex(fromLengths->cddbDiscId()) == expected, offsets.first() == 150);
        plain += offsets.first() == 150;
    }
    EXPECT_EQ(plain, 9);
}
