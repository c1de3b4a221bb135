#include "output/vesktools.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}
} // namespace

TEST(VeskTools, TextHelpersChangeOnlyWhatTheyShould)
{
    EXPECT_EQ(VeskTools::stripBadPathChars(s("Rock/Pop: Live")), s("Rock-Pop- Live"));
    EXPECT_EQ(VeskTools::stripBadPathChars(s("a\\b?*\"'")), s("a\\b?*\"'"));
    EXPECT_EQ(VeskTools::replaceChar(QLatin1Char(' '), QLatin1Char('_'), s("a b  c")), s("a_b__c"));
}

TEST(VeskTools, TrackNumberIsTheNumberBeforeTheFirstSpace)
{
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("1 Intro.aiff")), 1);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("12 Intro.aiff")), 12);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("07 - Title.mp3")), 7);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("Track 3.aiff")), 0);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("5.aiff")), 0);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s(" 3 x")), 0);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("-4 x")), -4);
    EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s("99999999999 x")), 0);
}

TEST(VeskTools, MountedMeansListableAndNotEmpty)
{
    QTemporaryDir dir;
    EXPECT_FALSE(VeskTools::audioCDIsMounted(dir.path()));
    touch(dir.path() + s("/.hidden"));
    EXPECT_TRUE(VeskTools::audioCDIsMounted(dir.path()));
    EXPECT_FALSE(VeskTools::audioCDIsMounted(dir.path() + s("/.hidden")));
    EXPECT_FALSE(VeskTools::audioCDIsMounted(dir.path() + s("/missing")));
}

TEST(VeskTools, UniqueFoldersNeverReuseATakenName)
{
    QTemporaryDir dir;
    const QString out = dir.path() + s("/new/deeper/Audio CD");
    const QString base = dir.path() + s("/new/deeper");
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("Artist - Album"), false),
              base + s("/Artist - Album"));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("Artist - Album"), false),
              base + s("/Artist - Album 1"));
    touch(base + s("/Artist - Album 2"));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("Artist - Album"), false),
              base + s("/Artist - Album 3"));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("Artist - Album"), true),
              base + s("/Artist_-_Album"));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("Artist - Album"), true),
              base + s("/Artist_-_Album_1"));

    LogCapture log;
    EXPECT_TRUE(VeskTools::createUniqueFolderAtPath(out, QString(), false).isNull());
    EXPECT_TRUE(log.contains(s("Name cannot be null!")));

    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s("Artist"), s("Album"), false),
              base + s("/Artist/Album"));
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s("Artist"), s("Album"), false),
              base + s("/Artist/Album 1"));
}

// Names that would be empty, "." or ".." must not name the base folder, its parent or a folder
// outside; a "/" must not reach into another folder.
TEST(VeskTools, FolderNamesStayInsideTheOutputFolder)
{
    EXPECT_EQ(VeskTools::safePathComponent(s("")), s("Untitled"));
    EXPECT_EQ(VeskTools::safePathComponent(s(".")), s("_"));
    EXPECT_EQ(VeskTools::safePathComponent(s("..")), s("__"));
    EXPECT_EQ(VeskTools::safePathComponent(s("../../etc")), s("..-..-etc"));
    EXPECT_EQ(VeskTools::safePathComponent(s("...")), s("..."));

    QTemporaryDir dir;
    const QString out = dir.path() + s("/music/Audio CD");
    const QString base = dir.path() + s("/music");
    const QString nested = VeskTools::createUniqueNestedFolderAtPath(out, s(".."), s(".."), false);
    EXPECT_EQ(nested, base + s("/__/__"));
    const QString empty = VeskTools::createUniqueNestedFolderAtPath(out, QString(), QString(), false);
    EXPECT_EQ(empty, base + s("/Untitled/Untitled"));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("."), false), base + s("/_"));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, s("AC/DC - Live"), false), base + s("/AC-DC - Live"));
    EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 4);
}
