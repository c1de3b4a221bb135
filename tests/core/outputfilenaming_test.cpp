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
