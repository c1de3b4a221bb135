// The release files (M3U, SFV checked by cksfv) and the CRC-32 they carry, against zlib's.
#include "common/crc32.h"
#include "output/veskfilegenerator.h"
#include "support/testenvironment.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <zlib.h>

namespace {
const QString m3uName = u"00-The Band-First.m3u"_qs;
const QString sfvName = u"00-The Band-First.sfv"_qs;
const QByteArray sfvHeader = "; sfv'd by Vesk\r\n;\r\n";

quint32 zlibCrc(QByteArrayView bytes)
{
    return quint32(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), z_size_t(bytes.size())));
}

QByteArray zlibHex(const QByteArray& bytes)
{
    return QByteArray::number(zlibCrc(bytes), 16).rightJustified(8, '0');
}

class VeskFileGeneratorTest : public ::testing::Test {
protected:
    QString at(const QString& name) const { return m_dir.filePath(name); }
    void put(const QString& name, const QByteArray& bytes) { ASSERT_TRUE(writeTestFile(at(name), bytes)); }
    QByteArray contents(const QString& name) const { return readTestFile(at(name)); }
    qsizetype entryCount() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .size();
    }

    QTemporaryDir m_dir;
    VeskFileGenerator m_generator;
};
} // namespace

// Numeric order, CRCs with leading zero digits, empty files, ".m3u" skipped only in lower case,
// and earlier release files replaced whole without listing themselves.
TEST_F(VeskFileGeneratorTest, ReleaseFilesListTheFolderAndCksfvAcceptsThem)
{
    QByteArray small;
    for (int i = 0; !zlibHex(small = "x" + QByteArray::number(i)).startsWith('0'); ++i) {
    }
    const QByteArray big = QByteArray(3 << 20, 's') + "longer than one read block";
    put(u"1 - Intro.mp3"_qs, "intro audio");
    put(u"2 - Song.mp3"_qs, big);
    put(u"10 - Ten.mp3"_qs, small);
    put(u"empty.mp3"_qs, {});
    put(u"list.m3u"_qs, "l");
    put(u"notes.M3U"_qs, "n");
    put(u".DS_Store"_qs, "finder");
    put(m3uName, "stale playlist\n");
    put(sfvName, "; stale\r\nstale.mp3 12345678\r\n");
    m_generator.makeM3UFile(m_dir.path(), m3uName, false);
    m_generator.makeSFVFile(m_dir.path(), sfvName, false);

    EXPECT_EQ(contents(m3uName), ".DS_Store\n00-The Band-First.sfv\n1 - Intro.mp3\n2 - Song.mp3\n"
                                 "10 - Ten.mp3\nempty.mp3\nlist.m3u\nnotes.M3U\n");
    EXPECT_EQ(contents(sfvName), sfvHeader + "1 - Intro.mp3 " + zlibHex("intro audio") + "\r\n2 - Song.mp3 " +
                                     zlibHex(big) + "\r\n10 - Ten.mp3 " + zlibHex(small) +
                                     "\r\nempty.mp3 00000000\r\nnotes.M3U " + zlibHex("n") + "\r\n");
    EXPECT_EQ(QProcess::execute(u"cksfv"_qs, {u"-q"_qs, u"-g"_qs, at(sfvName)}), 0); // an independent checker
    EXPECT_EQ(entryCount(), 9); // no temporary file left behind
}

TEST_F(VeskFileGeneratorTest, SpacesRuleOddEntriesAndFailuresToWrite)
{
    put(u"1 - Intro.mp3"_qs, "intro audio");
    // Entries that are not readable regular files count as empty; a pipe must not stall the writer.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"scans"_qs));
    ASSERT_EQ(mkfifo(QFile::encodeName(at(u"pipe"_qs)).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(at(u"gone"_qs), at(u"dangling"_qs)));
    LogCapture log;
    m_generator.makeM3UFile(m_dir.path(), m3uName, true);
    m_generator.makeSFVFile(m_dir.path(), sfvName, true);
    EXPECT_TRUE(log.contains(u"dangling"_qs));
    // Underscores in the release files' names only, not in the entries they list.
    EXPECT_EQ(contents(u"00-The_Band-First.m3u"_qs), "1 - Intro.mp3\ndangling\npipe\nscans\n");
    EXPECT_EQ(contents(u"00-The_Band-First.sfv"_qs),
              sfvHeader + "1 - Intro.mp3 " + zlibHex("intro audio") +
                  "\r\ndangling 00000000\r\npipe 00000000\r\nscans 00000000\r\n");

    // A slash from an artist such as "AC/DC" must not lead the file out of the folder.
    m_generator.makeSFVFile(m_dir.path(), u"00-AC/DC-Live.sfv"_qs, false);
    EXPECT_TRUE(QFile::exists(at(u"00-AC-DC-Live.sfv"_qs)));

    ASSERT_TRUE(QDir(m_dir.path()).mkdir(sfvName)); // the name is taken by a folder
    LogCapture failures;
    m_generator.makeSFVFile(m_dir.path(), sfvName, false);
    m_generator.makeM3UFile(at(u"no such folder"_qs), m3uName, false);
    EXPECT_EQ(failures.lines().filter(u"Could not write"_qs).size(), 2);
    EXPECT_TRUE(QFileInfo(at(sfvName)).isDir());
    EXPECT_EQ(entryCount(), 8);
}

// Every short length and a few long ones at every alignment within 16 bytes cover the tails and
// the switch-over points of the wide steps; then the same data fed in pieces, read midway.
TEST(Crc32, EqualsZlibOnManyLengthsAndAlignmentsAndFedInPieces)
{
    std::mt19937 random(20261206);
    QByteArray pool((1 << 20) + 16, Qt::Uninitialized);
    for (char& c : pool)
        c = char(random());
    std::vector<qsizetype> lengths{511, 512, 1023, 4096, 4099, 65536 + 63, 1 << 20};
    for (qsizetype n = 0; n <= 140; ++n)
        lengths.push_back(n);
    for (const qsizetype length : lengths)
        for (qsizetype offset = 0; offset < 16; ++offset) {
            const QByteArrayView bytes(pool.constData() + offset, length);
            ASSERT_EQ(Crc32::checksum(bytes), zlibCrc(bytes)) << "length " << length << " offset " << offset;
            ASSERT_EQ(Crc32::checksumSliced(bytes), zlibCrc(bytes)) << "length " << length;
            ASSERT_TRUE(length > 4099 || Crc32::checksumBytewise(bytes) == zlibCrc(bytes)) << length;
        }

    const QByteArrayView data(pool.constData(), 300000);
    Crc32 crc;
    for (qsizetype at = 0, piece = 0; at < data.size(); at += piece) {
        // Mostly small pieces, now and then a long one, sometimes none at all.
        piece = std::min<qsizetype>(data.size() - at, random() % 8 == 0 ? random() % 70000 : random() % 200);
        crc.update(data.sliced(at, piece));
        ASSERT_EQ(crc.value(), zlibCrc(data.first(at + piece)));
    }
}
