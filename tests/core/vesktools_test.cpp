#include "common/vesktools.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

TEST(VeskTools, OnlySlashAndColonAreReplacedAndTrackNumbersLeadTheName)
{
    EXPECT_EQ(VeskTools::stripBadPathChars(s("a\\b?*\"'")), s("a\\b?*\"'"));
    const std::pair<const char*, int> cases[] = {
        {"1 Intro.aiff", 1}, {"12 Intro.aiff", 12}, {"07 - Title.mp3", 7}, {"Track 3.aiff", 0},
        {"5.aiff", 0},       {" 3 x", 0},           {"-4 x", -4},          {"99999999999 x", 0}};
    for (const auto& [name, number] : cases)
        EXPECT_EQ(VeskTools::extractRealTrackNumberFromString(s(name)), number) << name;
}

TEST(VeskTools, MountedMeansListableAndNotEmpty)
{
    QTemporaryDir dir;
    EXPECT_FALSE(VeskTools::audioCDIsMounted(dir.path()));
    ASSERT_TRUE(QFile(dir.filePath(s(".hidden"))).open(QIODevice::WriteOnly));
    EXPECT_TRUE(VeskTools::audioCDIsMounted(dir.path()));
    EXPECT_FALSE(VeskTools::audioCDIsMounted(dir.filePath(s(".hidden"))));
    EXPECT_FALSE(VeskTools::audioCDIsMounted(dir.filePath(s("missing"))));
}

// Folders are made inside the output folder, never reusing a taken name; names
// that would be empty, ".", ".." or hold a "/" must not lead out of that folder.
TEST(VeskTools, UniqueFoldersStayInsideAndNeverReuseATakenName)
{
    QTemporaryDir dir;
    const QString out = dir.path() + s("/new/deeper");
    const QString base = dir.path() + s("/new/deeper/");
    const auto folder = [&](const char* name, bool spaces = false) {
        return VeskTools::createUniqueFolderAtPath(out, name ? s(name) : QString(), spaces);
    };
    EXPECT_EQ(folder("Artist - Album"), base + s("Artist - Album"));
    EXPECT_EQ(folder("Artist - Album"), base + s("Artist - Album 1"));
    ASSERT_TRUE(QFile(base + s("Artist - Album 2")).open(QIODevice::WriteOnly));
    EXPECT_EQ(folder("Artist - Album"), base + s("Artist - Album 3"));
    EXPECT_EQ(folder("Artist - Album", true), base + s("Artist_-_Album"));
    EXPECT_EQ(folder("Artist - Album", true), base + s("Artist_-_Album_1"));
    EXPECT_EQ(folder("."), base + s("_"));
    EXPECT_EQ(folder("AC/DC - Live: 1991"), base + s("AC-DC - Live- 1991"));
    // A name longer than a folder name may be is cut between letters, its number kept.
    const QString e(150, QChar(0xe9));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, e, false), base + e.left(127));
    EXPECT_EQ(VeskTools::createUniqueFolderAtPath(out, e, false), base + e.left(126) + s(" 1"));
    LogCapture log;
    EXPECT_TRUE(folder(nullptr).isNull());
    EXPECT_TRUE(log.contains(s("Name cannot be null!")));

    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s("Artist"), s("Album"), false),
              base + s("Artist/Album"));
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s("Artist"), s("Album"), false),
              base + s("Artist/Album 1"));
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s(".."), s(".."), false), base + s("__/__"));
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, {}, {}, false), base + s("Untitled/Untitled"));
    EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 13);
}
