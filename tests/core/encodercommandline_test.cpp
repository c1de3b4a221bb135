#include "encoder/lame/encodercommandline.h"
#include "encoder/lame/lameencoder.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QProcess>
#include <cstring>
#include <gtest/gtest.h>

namespace {
// "a|b c|" gives the words "a", "b c" and "".
QStringList words(const char* list)
{
    return s(list).split(u'|');
}
} // namespace

TEST(EncoderCommandLine, PresetWordsThenTheFixedOptions)
{
    EXPECT_EQ(EncoderCommandLine::commonArguments(words("--preset|standard"), words("-V|0")),
              words("--preset|standard|--add-id3v2|--disptime|5"));
    // Doubled and trailing spaces in a typed line must not become empty file-name arguments.
    EXPECT_EQ(EncoderCommandLine::commonArguments(std::nullopt, Settings::splitIntoWords(s("-V  2 "))),
              words("-V|2|--add-id3v2|--disptime|5"));
    // A fresh settings model rips with the first basic preset, not with an empty word.
    EXPECT_EQ(Settings().getBasicConfigOption(),
              Settings::splitIntoWords(Settings::basicPresetTitles().constFirst()));
}

TEST(EncoderCommandLine, TagOptionsForTheValuesATrackHasAndID3v1OnlyWhereTheyFit)
{
    TrackTags tags{s("Two: Words"),      4,         12,        s("A/B"),  s("Record"),
                   s("Various Artists"), s("1999"), s("1999"), QString(), s("2/2")};
    // 1999 is a genre number LAME refuses: left out, as is the comment nobody gave.
    EXPECT_EQ(EncoderCommandLine::id3TagArguments(tags),
              words("--tt|Two: Words|--tn|4/12|--ta|A/B|--tl|Record|--ty|1999|--tv|TPE2=Various Artists|--tv|"
                    "TPOS=2/2"));
    EXPECT_EQ(EncoderCommandLine::id3TagArguments(TrackTags{s("Intro"), 0, 0, {}, {}, {}, {}, {}, {}, {}}),
              words("--tt|Intro"));
    // Japanese, or more than 30 bytes, would turn into "?" or be cut in ID3v1: ID3v2 only then.
    tags.title = s("夜明け");
    EXPECT_EQ(EncoderCommandLine::id3TagArguments(tags).value(0), s("--id3v2-only"));
    tags.title = s("Ünder the Lïght");
    EXPECT_NE(EncoderCommandLine::id3TagArguments(tags).value(0), s("--id3v2-only"));
    tags.album = QString(31, u'x');
    EXPECT_EQ(EncoderCommandLine::id3TagArguments(tags).value(0), s("--id3v2-only"));
    // A file is named after its input, raw sound comes from standard input.
    const LameEncoder lame;
    EXPECT_EQ(lame.trackArguments(words("-V|2"), EncoderInput::file(s("/cd/1 A.aiff")), s("/out/a.mp3"),
                                  std::nullopt),
              words("-V|2|/cd/1 A.aiff|/out/a.mp3"));
    EXPECT_EQ(lame.trackArguments({}, EncoderInput::rawSound(), s("/out/a.mp3"), std::nullopt).mid(0, 1),
              words("-r"));
}

// What LAME itself refuses, asked of the real program: numbers (as C's strtol reads them) outside
// its list of 148 genres. Everything else it takes as a list name or as a genre of its own.
TEST(EncoderCommandLine, GenresAreCheckedAsTheRealEncoderChecksThem)
{
    TestEnvironment env;
    QTemporaryDir dir;
    const QString wav = dir.filePath(s("a.wav"));
    ASSERT_TRUE(makeAiff(wav, 0.05));
    const char* genres[] = {"0",   "147",   "148",        "1999", "-1",          " 12", "\t200", "+148", "-0",
                            "12 ", "12abc", "4294967297", "Rock", "Jazz/Fusion", "",    "-",     "Ünder"};
    for (const char* genre : genres) {
        QProcess lame;
        lame.start(LameEncoder::resourcePath(),
                   {s("--quiet"), s("--tg"), s(genre), wav, dir.filePath(s("a.mp3"))});
        ASSERT_TRUE(lame.waitForFinished(60000));
        const bool accepted = EncoderCommandLine::encoderAcceptsGenre(s(genre));
        // LAME takes 4294967297 as genre 1 (it wraps around); we leave it out.
        EXPECT_EQ(accepted, lame.exitCode() == 0 && std::strcmp(genre, "4294967297") != 0) << genre;
    }
}
