#include "rip/outputfilenaming.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QString name(const char* style, qint32 number, const char* track, const QString& artist = s("X"),
             bool underscores = false)
{
    return OutputFileNaming::createOutputFilenameWithFormat(style ? s(style) : QString(), artist, number,
                                                            s(track), s("Y"), underscores);
}
} // namespace

TEST(OutputFileNaming, WorkedExamples)
{
    EXPECT_EQ(name("%d - %t.mp3", 3, "Money"), s("03 - Money.mp3"));
    EXPECT_EQ(name("", 12, "Time"), s("12 - Time.mp3"));
    EXPECT_EQ(name(nullptr, 12, "Time"), s("12 - Time.mp3"));
    EXPECT_EQ(name("%a - %l - %d - %t.mp3", 5, "Z"), s("X - Y - 05 - Z.mp3"));
    EXPECT_EQ(name("%a - %d.mp3", 5, "Z", QString()), s(" - 05.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 1, "1 Audio Track", s("Artist Name")), s("01 -  Audio Track.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 1, "1 Audio Track", s("Artist Name"), true), s("01_-__Audio_Track.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 2, "7 Seconds"), s("02 -  Seconds.mp3"));
    EXPECT_EQ(name("%d - %t.mp3", 4, "100 Years"), s("04 - 100 Years.mp3"));
    EXPECT_EQ(name("%x%d.mp3", 7, "Z"), s("07.mp3"));
}

TEST(OutputFileNaming, TokensAndTrackNameEdges)
{
    EXPECT_EQ(name("%d", 9, "Z"), s("09"));
    EXPECT_EQ(name("%d", 10, "Z"), s("10"));
    EXPECT_EQ(name("%d", 0, "Z"), s("00"));
    EXPECT_EQ(name("%d", 123, "Z"), s("123"));
    EXPECT_EQ(name("%d", -1, "Z"), s("0-1"));
    EXPECT_EQ(name("a%%b", 1, "Z"), s("ab"));
    EXPECT_EQ(name("%t.mp3%", 1, "Z"), s("Z.mp3"));
    EXPECT_EQ(name("%t", 1, " 3 Lead"), s(" 3 Lead"));
    EXPECT_EQ(name("%t", 1, "1984"), s("1984"));
    EXPECT_EQ(name("%t", 1, "12 Bar"), s(" Bar"));
    EXPECT_EQ(name("%a %t", 1, "A/B", s("C D")), s("C D A/B"));
    EXPECT_EQ(name("%a %t", 1, "E F", s("C D"), true), s("C_D_E_F"));
}

// Two tracks whose names come out the same, or a name already on disk, keep both files.
TEST(OutputFileNaming, UniquePathsKeepEveryFile)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    QSet<QString> taken;
    const QString first = OutputFileNaming::uniqueOutputPath(folder, s("same.mp3"), taken, false);
    EXPECT_EQ(first, folder + s("/same.mp3"));
    taken.insert(first);
    const QString second = OutputFileNaming::uniqueOutputPath(folder, s("same.mp3"), taken, false);
    EXPECT_EQ(second, folder + s("/same 2.mp3"));
    taken.insert(second);
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s("same.mp3"), taken, false),
              folder + s("/same 3.mp3"));

    QFile onDisk(folder + s("/old_one.mp3"));
    ASSERT_TRUE(onDisk.open(QIODevice::WriteOnly));
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s("old_one.mp3"), {}, true),
              folder + s("/old_one_2.mp3"));
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s("noext"), {folder + s("/noext")}, false),
              folder + s("/noext 2"));
}

TEST(OutputFileNaming, NamesNeverLeaveTheFolder)
{
    const QString folder = s("/out/A - T");
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, QString(), {}, false), folder + s("/Untitled"));
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s("."), {}, false), folder + s("/_"));
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s(".."), {}, false), folder + s("/__"));
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s("../../x.mp3"), {}, false),
              folder + s("/..-..-x.mp3"));
    EXPECT_EQ(OutputFileNaming::uniqueOutputPath(folder, s(".."), {folder + s("/__")}, false),
              folder + s("/__ 2"));
}
