// Names and folders of the output: file names from the name style, unique paths and folders that
// stay inside the output folder, track numbers in file names, an unidentified album's names.
#include "common/vesktools.h"
#include "model/album.h"
#include "output/outputfilenaming.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

namespace {
// The album is always "Y".
QString name(const char* style, qint32 number, const char* track, const char* artist = "X",
             bool underscores = false)
{
    return OutputFileNaming::createOutputFilenameWithFormat(style ? s(style) : QString(),
                                                            artist ? s(artist) : QString(), number, s(track),
                                                            s("Y"), underscores, s(".mp3"));
}
} // namespace

// A leading track number and its space are dropped from the title.
TEST(OutputFileNaming, StylesTokensAndTrackNames)
{
    EXPECT_EQ(name("", 12, "Time"), s("12 - Time.mp3"));
    EXPECT_EQ(name("%a - %d.mp3", 5, "Z", nullptr), s(" - 05.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 1, "1 Audio Track", "Artist Name", true), s("01_-__Audio_Track.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 2, "7 Seconds"), s("02 -  Seconds.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 4, "100 Years"), s("04 - 100 Years.mp3"));
    EXPECT_EQ(name("%t", 1, "1984"), s("1984"));
    EXPECT_EQ(name("%x%d.mp3", 7, "Z"), s("07.mp3"));
    EXPECT_EQ(name("%d", 123, "Z"), s("123"));
    EXPECT_EQ(name("a%%b", 1, "Z"), s("ab"));
    EXPECT_EQ(name("%t.mp3%", 1, "Z"), s("Z.mp3"));
}

// Two tracks whose names come out the same, or a name already on disk, keep both files; no name
// leads out of the folder.
TEST(OutputFileNaming, UniquePathsKeepEveryFileInsideTheFolder)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const auto unique = [&](const char* name, const QSet<QString>& taken = {}, bool underscores = false) {
        return OutputFileNaming::uniqueOutputPath(folder, name ? s(name) : QString(), taken, underscores);
    };
    ASSERT_TRUE(QFile(folder + s("/old_one.mp3")).open(QIODevice::WriteOnly));
    EXPECT_EQ(unique("old_one.mp3", {}, true), folder + s("/old_one_2.mp3"));
    EXPECT_EQ(unique("noext", {folder + s("/noext")}), folder + s("/noext 2"));

    EXPECT_EQ(unique(nullptr), folder + s("/Untitled"));
    EXPECT_EQ(unique("."), folder + s("/_"));
    EXPECT_EQ(unique(".."), folder + s("/__"));
    EXPECT_EQ(unique("../../x.mp3"), folder + s("/..-..-x.mp3"));
    EXPECT_EQ(unique("..", {folder + s("/__")}), folder + s("/__ 2"));
}

// A file name takes at most 255 bytes: long titles are cut between letters, keeping the extension
// and the number that keeps the name unique. Control characters never reach a name.
TEST(OutputFileNaming, LongNamesAreCutToAFileNamesLengthAndControlCharactersReplaced)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString e(200, QChar(0xe9)); // 400 bytes
    const QString smile = QString(130, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(40);
    const std::pair<QString, QString> cases[] = {
        {e + s(".mp3"), QString(125, QChar(0xe9)) + s(".mp3")},
        {e.left(150) + s(". and the rest of it"), e.left(127)},    // no extension: cut as a whole
        {smile + s(".mp3"), smile.left(130 + 2 * 30) + s(".mp3")}, // 130 + 30 four-byte letters + 4
        {s("a\nb\tc\x7f.mp3"), s("a_b_c_.mp3")},
        {s(".a") + QString(200, QChar(0x301)) + s(".mp3"), s(".a") + QString(124, QChar(0x301)) + s(".mp3")},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(OutputFileNaming::uniqueOutputPath(dir.path(), name, {}, false), folder + expected);
    EXPECT_EQ(
        OutputFileNaming::uniqueOutputPath(dir.path(), e + s(".mp3"), {folder + cases[0].second}, false),
        folder + QString(124, QChar(0xe9)) + s(" 2.mp3"));
}

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

    // A taken nested folder is numbered in vesk-rip's test of --artist-album-dirs.
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s("Artist"), s("Album"), false),
              base + s("Artist/Album"));
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, s(".."), s(".."), false), base + s("__/__"));
    EXPECT_EQ(VeskTools::createUniqueNestedFolderAtPath(out, {}, {}, false), base + s("Untitled/Untitled"));
    EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 13);
}

// Track numbers come from positions, not from the file names.
TEST(Album, DefaultAlbumsNumberTheTracksByPosition)
{
    EXPECT_TRUE(Album::defaultAlbum(-2).getTracks().isEmpty());
    const Album titled = Album::defaultAlbumWithTrackTitles({u"7 X"_qs, u"9 Y"_qs});
    ASSERT_EQ(titled.getTracks().size(), 2);
    EXPECT_EQ(titled.getTracks()[1], Track::trackWithArtist(QString(), u"9 Y"_qs, 2));
    // Nothing is invented: names take the placeholders.
    EXPECT_TRUE(titled.getArtist().isNull() && titled.getYear().isNull() && titled.getGenre().isNull());
    EXPECT_EQ(titled.artistForNames() + titled.titleForNames(), u"ArtistTitle"_qs);
}
