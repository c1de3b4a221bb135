#include "output/veskfilegenerator.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <zlib.h>

namespace {
const QString m3uName = QStringLiteral("00-The Band-First.m3u");
const QString sfvName = QStringLiteral("00-The Band-First.sfv");

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString zlibHex(const QByteArray& bytes)
{
    const auto crc =
        quint32(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.constData()), z_size_t(bytes.size())));
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0'));
}

// cksfv, an independent checker, verifies every file listed in the folder's SFV.
bool cksfvAccepts(const QString& folder, const QString& sfv)
{
    QProcess cksfv;
    cksfv.setWorkingDirectory(folder);
    cksfv.start(QStringLiteral("cksfv"), {QStringLiteral("-q"), QStringLiteral("-f"), sfv});
    return cksfv.waitForFinished(60000) && cksfv.exitStatus() == QProcess::NormalExit &&
           cksfv.exitCode() == 0;
}

class VeskFileGeneratorTest : public ::testing::Test {
protected:
    QString at(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString folder() const { return m_dir.path(); }

    QTemporaryDir m_dir;
    VeskFileGenerator m_generator;
};
} // namespace

TEST_F(VeskFileGeneratorTest, AlbumFolderGetsPlaylistAndChecksumsThatCksfvAccepts)
{
    put(at(QStringLiteral("1 - Intro.mp3")), "intro audio");
    put(at(QStringLiteral("2 - Song.mp3")), QByteArray(3 << 20, 's') + "a song longer than one read block");
    put(at(QStringLiteral(".DS_Store")), "finder");
    m_generator.makeM3UFile(folder(), m3uName, false);
    m_generator.makeSFVFile(folder(), sfvName, false);

    QStringList playlist = QString::fromUtf8(contents(at(m3uName))).split(QLatin1Char('\n'));
    EXPECT_EQ(playlist.takeLast(), QString()); // every line ends in "\n"
    playlist.sort();
    EXPECT_EQ(playlist, (QStringList{QStringLiteral(".DS_Store"), QStringLiteral("1 - Intro.mp3"),
                                     QStringLiteral("2 - Song.mp3")}));

    const QByteArray sfv = contents(at(sfvName));
    EXPECT_EQ(sfv, "; sfv'd by Vesk\r\n;\r\n1 - Intro.mp3 " + zlibHex("intro audio").toUtf8() +
                       "\r\n2 - Song.mp3 " + zlibHex(contents(at(QStringLiteral("2 - Song.mp3")))).toUtf8() +
                       "\r\n");
    EXPECT_TRUE(cksfvAccepts(folder(), sfvName));
}

TEST_F(VeskFileGeneratorTest, SpacesRuleRenamesOnlyTheReleaseFiles)
{
    put(at(QStringLiteral("1 - Intro.mp3")), "intro audio");
    m_generator.makeM3UFile(folder(), m3uName, true);
    m_generator.makeSFVFile(folder(), sfvName, true);
    EXPECT_FALSE(QFile::exists(at(m3uName)));
    EXPECT_EQ(contents(at(QStringLiteral("00-The_Band-First.m3u"))), "1 - Intro.mp3\n");
    EXPECT_TRUE(contents(at(QStringLiteral("00-The_Band-First.sfv"))).contains("\r\n1 - Intro.mp3 "));
    EXPECT_TRUE(cksfvAccepts(folder(), QStringLiteral("00-The_Band-First.sfv")));

    // A slash from an artist such as "AC/DC" must not lead the file out of the folder.
    m_generator.makeSFVFile(folder(), QStringLiteral("00-AC/DC-Live.sfv"), false);
    EXPECT_TRUE(QFile::exists(at(QStringLiteral("00-AC-DC-Live.sfv"))));
}

TEST_F(VeskFileGeneratorTest, ChecksumLinesForShortCrcsEmptyAndUnreadableEntries)
{
    // Find content whose CRC has a leading zero digit.
    QByteArray small;
    for (int i = 0; zlibHex(small = QByteArray("x") + QByteArray::number(i)).at(0) != QLatin1Char('0'); ++i) {
    }
    put(at(QStringLiteral("small.bin")), small);
    put(at(QStringLiteral("empty.mp3")), QByteArray());
    m_generator.makeSFVFile(folder(), QStringLiteral("a.sfv"), false);
    const QByteArray sfv = contents(at(QStringLiteral("a.sfv")));
    EXPECT_TRUE(sfv.contains("\r\nsmall.bin " + zlibHex(small).toUtf8() + "\r\n")) << sfv.constData();
    EXPECT_TRUE(sfv.contains("\r\nempty.mp3 00000000\r\n")) << sfv.constData();
    EXPECT_TRUE(cksfvAccepts(folder(), QStringLiteral("a.sfv")));

    // Entries that are not readable regular files count as empty; a pipe must not stall the writer.
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("scans")));
    ASSERT_EQ(mkfifo(QFile::encodeName(at(QStringLiteral("pipe"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(at(QStringLiteral("gone")), at(QStringLiteral("dangling"))));
    LogCapture log;
    m_generator.makeSFVFile(folder(), QStringLiteral("a.sfv"), false);
    const QByteArray again = contents(at(QStringLiteral("a.sfv")));
    EXPECT_TRUE(again.contains("\r\nscans 00000000\r\n")) << again.constData();
    EXPECT_TRUE(again.contains("\r\npipe 00000000\r\n"));
    EXPECT_TRUE(again.contains("\r\ndangling 00000000\r\n"));
    EXPECT_TRUE(log.contains(QStringLiteral("dangling")));
}

TEST_F(VeskFileGeneratorTest, PlaylistExtensionIsCaseSensitiveAndOrderIsNumeric)
{
    for (const char* name : {"10 - Ten.mp3", "2 - Two.mp3", "notes.M3U", "list.m3u", ".DS_Store"})
        put(at(QString::fromUtf8(name)), name);
    m_generator.makeSFVFile(folder(), sfvName, false);
    const QByteArray sfv = contents(at(sfvName));
    EXPECT_TRUE(sfv.contains("\r\nnotes.M3U "));
    EXPECT_FALSE(sfv.contains("list.m3u"));
    EXPECT_FALSE(sfv.contains(".DS_Store"));
    EXPECT_LT(sfv.indexOf("2 - Two.mp3"), sfv.indexOf("10 - Ten.mp3"));
    EXPECT_EQ(sfv.count("\r\n"), 5);

    m_generator.makeM3UFile(folder(), m3uName, false);
    const QByteArray m3u = contents(at(m3uName));
    EXPECT_TRUE(m3u.contains("list.m3u\n"));
    EXPECT_TRUE(m3u.contains(".DS_Store\n"));
    EXPECT_TRUE(m3u.contains(sfvName.toUtf8() + "\n"));
    EXPECT_LT(m3u.indexOf("2 - Two.mp3"), m3u.indexOf("10 - Ten.mp3"));
}

TEST_F(VeskFileGeneratorTest, ExistingReleaseFilesAreReplacedWholeAndNotListed)
{
    put(at(QStringLiteral("1 - Intro.mp3")), "intro audio");
    put(at(m3uName), "stale playlist\n");
    put(at(sfvName), "; stale\r\nstale.mp3 12345678\r\n");
    m_generator.makeM3UFile(folder(), m3uName, false);
    m_generator.makeSFVFile(folder(), sfvName, false);
    EXPECT_EQ(contents(at(m3uName)), "00-The Band-First.sfv\n1 - Intro.mp3\n");
    EXPECT_EQ(contents(at(sfvName)),
              "; sfv'd by Vesk\r\n;\r\n1 - Intro.mp3 " + zlibHex("intro audio").toUtf8() + "\r\n");
    EXPECT_TRUE(cksfvAccepts(folder(), sfvName));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

TEST_F(VeskFileGeneratorTest, FailureToWriteIsLoggedAndLeavesNothingBehind)
{
    put(at(QStringLiteral("1 - Intro.mp3")), "intro audio");
    ASSERT_TRUE(QDir(folder()).mkdir(sfvName)); // the name is taken by a folder
    LogCapture log;
    m_generator.makeSFVFile(folder(), sfvName, false);
    EXPECT_TRUE(log.contains(QStringLiteral("Could not write")));
    EXPECT_TRUE(QFileInfo(at(sfvName)).isDir());
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);

    LogCapture missing;
    m_generator.makeM3UFile(at(QStringLiteral("no such folder")), m3uName, false);
    EXPECT_TRUE(missing.contains(QStringLiteral("Could not write")));
}
