// The disc identifier checked against two independent sources: libcddb's own computation and
// the identifiers a real freedb server and the published entries carry.
#include "lookup/disctoc.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cddb/cddb.h>
#include <gtest/gtest.h>

namespace {
struct Disc {
    QString name;
    QList<qint64> offsets;
    qint64 seconds = 0;
    QStringList expectedIds; // lower-case hexadecimal
};

QString readAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromLatin1(file.readAll());
}

// The server's answers to "discid <n> <offsets...> <seconds>", and every published entry: offsets
// from its comment block, the length, and its DISCID line.
QList<Disc> knownDiscs()
{
    QList<Disc> discs;
    static const QRegularExpression pair(
        QStringLiteral(R"(C: b'discid ([0-9 ]+)\\r\\n'\s*S: b'200 Disc ID is ([0-9a-f]{8}))"));
    const QString transcript =
        readAll(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-server-transcripts/discids.txt"));
    for (auto it = pair.globalMatch(transcript); it.hasNext();) {
        const auto m = it.next();
        const QStringList numbers = m.captured(1).split(u' ', Qt::SkipEmptyParts);
        Disc disc{
            QStringLiteral("discid ") + m.captured(1), {}, numbers.last().toLongLong(), {m.captured(2)}};
        for (int i = 1; i < numbers.size() - 1; ++i)
            disc.offsets << numbers[i].toLongLong();
        discs << disc;
    }
    static const QRegularExpression offset(QStringLiteral(R"(^#\s*(\d+)\s*$)"));
    static const QRegularExpression length(QStringLiteral(R"(^# Disc length:\s*(\d+))"));
    const QDir folder(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries"));
    for (const QString& name : folder.entryList({QStringLiteral("*-*")}, QDir::Files)) {
        Disc disc{name, {}, 0, {}};
        bool inOffsets = false;
        for (const QString& line : readAll(folder.filePath(name)).split(u'\n')) {
            if (line.startsWith(QStringLiteral("# Track frame offsets"))) {
                inOffsets = true;
            } else if (const auto m = offset.match(line); inOffsets && m.hasMatch()) {
                disc.offsets << m.captured(1).toLongLong();
            } else if (const auto l = length.match(line); l.hasMatch()) {
                disc.seconds = l.captured(1).toLongLong();
                inOffsets = false;
            } else if (line.startsWith(QStringLiteral("DISCID="))) {
                disc.expectedIds = line.mid(7).trimmed().split(u',');
            } else if (line != QStringLiteral("#")) {
                inOffsets = false;
            }
        }
        discs << disc;
    }
    return discs;
}

quint32 libcddbId(const Disc& disc)
{
    cddb_disc_t* cd = cddb_disc_new();
    for (const qint64 offset : disc.offsets) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, static_cast<int>(offset));
        cddb_disc_add_track(cd, track);
    }
    cddb_disc_set_length(cd, static_cast<unsigned>(disc.seconds));
    cddb_disc_calc_discid(cd);
    const quint32 id = cddb_disc_get_discid(cd);
    cddb_disc_destroy(cd);
    return id;
}
} // namespace

TEST(DiscId, AgreesWithTheServerTheEntriesAndLibcddb)
{
    const QList<Disc> discs = knownDiscs();
    ASSERT_GE(discs.size(), 18);
    int checked = 0;
    for (const Disc& disc : discs) {
        SCOPED_TRACE(disc.name.toStdString());
        ASSERT_FALSE(disc.offsets.isEmpty());
        // The server subtracts the first track's start from the length where the identifier
        // takes a fixed two seconds; they differ only for offsets without the lead-in, which a
        // real table of contents never has (the transcript's deliberately wrong example).
        if (disc.offsets.first() / 75 != 2)
            continue;
        // The table of contents holds the lead-out in frames; the length is whole seconds of it.
        const quint32 id =
            DiscTOC::fromOffsets(disc.offsets, static_cast<quint32>(disc.seconds * 75 + 74)).cddbDiscId();
        EXPECT_TRUE(disc.expectedIds.contains(QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')))) << id;
        // libcddb subtracts the first track's start as well.
        EXPECT_EQ(id, libcddbId(disc));
        ++checked;
    }
    EXPECT_EQ(checked, discs.size() - 1);
}
