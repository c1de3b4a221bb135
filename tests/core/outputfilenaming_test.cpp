#include "rip/outputfilenaming.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct NameCase {
    const char* style; // nullptr: no style at all
    qint32 number;
    const char* track;
    const char* expected;
    const char* artist = "X"; // nullptr: no artist
    bool underscores = false;
};
} // namespace

// The album is always "Y". A leading track number and its space are dropped from the title.
TEST(OutputFileNaming, StylesTokensAndTrackNames)
{
    const NameCase cases[] = {
        {"%d - %t.mp3", 3, "Money", "03 - Money.mp3"},
        {"", 12, "Time", "12 - Time.mp3"},
        {nullptr, 12, "Time", "12 - Time.mp3"},
        {"%a - %l - %d - %t.mp3", 5, "Z", "X - Y - 05 - Z.mp3"},
        {"%a - %d.mp3", 5, "Z", " - 05.mp3", nullptr},
        {"%d - %t.mp3", 1, "1 Audio Track", "01 -  Audio Track.mp3", "Artist Name"},
        {"%d - %t.mp3", 1, "1 Audio Track", "01_-__Audio_Track.mp3", "Artist Name", true},
        {"%d - %t.mp3", 2, "7 Seconds", "02 -  Seconds.mp3"},
        {"%d - %t.mp3", 4, "100 Years", "04 - 100 Years.mp3"},
        {"%x%d.mp3", 7, "Z", "07.mp3"},
        {"%d", 0, "Z", "00"},
        {"%d", 123, "Z", "123"},
        {"a%%b", 1, "Z", "ab"},
        {"%t.mp3%", 1, "Z", "Z.mp3"},
        {"%t", 1, " 3 Lead", " 3 Lead"},
        {"%t", 1, "1984", "1984"},
        {"%a %t", 1, "E F", "C_D_E_F", "C D", true}};
    for (const NameCase& c : cases)
        EXPECT_EQ(OutputFileNaming::createOutputFilenameWithFormat(
                      c.style ? s(c.style) : QString(), c.artist ? s(c.artist) : QString(), c.number,
                      s(c.track), s("Y"), c.underscores),
                  s(c.expected))
            << (c.style ? c.style : "(null)") << " " << c.track;
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
    EXPECT_EQ(unique("same.mp3"), folder + s("/same.mp3"));
    EXPECT_EQ(unique("same.mp3", {folder + s("/same.mp3")}), folder + s("/same 2.mp3"));
    EXPECT_EQ(unique("same.mp3", {folder + s("/same.mp3"), folder + s("/same 2.mp3")}),
              folder + s("/same 3.mp3"));
    ASSERT_TRUE(QFile(folder + s("/old_one.mp3")).open(QIODevice::WriteOnly));
    EXPECT_EQ(unique("old_one.mp3", {}, true), folder + s("/old_one_2.mp3"));
    EXPECT_EQ(unique("noext", {folder + s("/noext")}), folder + s("/noext 2"));

    EXPECT_EQ(unique(nullptr), folder + s("/Untitled"));
    EXPECT_EQ(unique("."), folder + s("/_"));
    EXPECT_EQ(unique(".."), folder + s("/__"));
    EXPECT_EQ(unique("../../x.mp3"), folder + s("/..-..-x.mp3"));
    EXPECT_EQ(unique("..", {folder + s("/__")}), folder + s("/__ 2"));
}
