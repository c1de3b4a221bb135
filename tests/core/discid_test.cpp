// The disc identifier checked against two independent sources: the identifiers a real freedb
// server gave for the shared discs and more, and libcddb's own computation.
#include "lookup/disctoc.h"

#include <QFile>
#include <QRegularExpression>
#include <cddb/cddb.h>
#include <gtest/gtest.h>

namespace {
quint32 libcddbId(const QList<qint64>& offsets, qint64 seconds)
{
    cddb_disc_t* cd = cddb_disc_new();
    for (const qint64 offset : offsets) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, static_cast<int>(offset));
        cddb_disc_add_track(cd, track);
    }
    cddb_disc_set_length(cd, static_cast<unsigned>(seconds));
    cddb_disc_calc_discid(cd);
    const quint32 id = cddb_disc_get_discid(cd);
    cddb_disc_destroy(cd);
    return id;
}
} // namespace

TEST(DiscId, AgreesWithTheServerAndLibcddb)
{
    QFile file(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-server-transcripts/discids.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString transcript = QString::fromLatin1(file.readAll());
    // "discid <n> <offsets...> <seconds>" and the server's "Disc ID is <id>".
    static const QRegularExpression pair(
        QStringLiteral(R"(C: b'discid ([0-9 ]+)\\r\\n'\s*S: b'200 Disc ID is ([0-9a-f]{8}))"));
    int checked = 0;
    int skipped = 0;
    for (auto it = pair.globalMatch(transcript); it.hasNext();) {
        const auto m = it.next();
        SCOPED_TRACE(m.captured(1).toStdString());
        const QStringList numbers = m.captured(1).split(u' ', Qt::SkipEmptyParts);
        QList<qint64> offsets;
        for (int i = 1; i < numbers.size() - 1; ++i)
            offsets << numbers[i].toLongLong();
        const qint64 seconds = numbers.last().toLongLong();
        // The server subtracts the first track's start from the length where the identifier
        // takes a fixed two seconds; they differ only for offsets without the lead-in, which a
        // real table of contents never has (the transcript's deliberately wrong example).
        if (offsets.first() / 75 != 2) {
            ++skipped;
            continue;
        }
        // The table of contents holds the lead-out in frames; the length is whole seconds of it.
        const quint32 id =
            DiscTOC::fromOffsets(offsets, static_cast<quint32>(seconds * 75 + 74)).cddbDiscId();
        EXPECT_EQ(QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')), m.captured(2));
        // libcddb subtracts the first track's start as well.
        EXPECT_EQ(id, libcddbId(offsets, seconds));
        ++checked;
    }
    EXPECT_EQ(skipped, 1);
    EXPECT_GE(checked, 18);
}
