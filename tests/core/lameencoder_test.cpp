// The encoder: every LAME fact Vesk relies on (the command line and its tags, the presets and
// their "fast", the genres checked against the real encoder, its progress, its genre list), and
// sound that is not a file reaching it whole through its standard input.
#include "encoder/encoderrun.h"
#include "encoder/lame/encodercommandline.h"
#include "encoder/lame/genrelistparser.h"
#include "encoder/lame/lameencoder.h"
#include "encoder/lame/lameprogress.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QBuffer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <taglib/fileref.h>

namespace {
// "a|b c|" gives the words "a", "b c" and "".
QStringList words(const char* list)
{
    return s(list).split(u'|');
}

QStringList genres(const char* latin1)
{
    return GenreListParser::parse(GenreListParser::textFromBytes(QByteArray(latin1)));
}

QStringList presetWords(const QString& title, bool faster)
{
    Settings settings;
    settings.setBasicConfigOption(title);
    settings.setCheckState(Settings::Option::MakeAltPresetFaster, faster ? Settings::On : Settings::Off);
    const QStringList plain = settings.getBasicConfigOption().value_or(QStringList());
    return faster && !plain.isEmpty() ? LameEncoder::fasterPresetWords(plain) : plain;
}

// seconds of a 440 Hz tone as raw CD audio: 16-bit little-endian stereo at 44.1 kHz.
QByteArray rawTone(double seconds)
{
    const qint64 frames = qint64(seconds * 44100);
    QByteArray sound(frames * 4, Qt::Uninitialized);
    for (qint64 i = 0; i < frames; ++i) {
        const auto sample = qint16(8000 * std::sin(2 * M_PI * 440 * double(i) / 44100));
        qToLittleEndian(sample, sound.data() + i * 4);
        qToLittleEndian(qint16(-sample), sound.data() + i * 4 + 2);
    }
    return sound;
}

std::unique_ptr<QIODevice> deviceWith(const QByteArray& bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// Runs to the end; false when the run did not start or end in time.
bool runToTheEnd(EncoderRun& run, const QString& program, const QStringList& arguments, const QString& folder,
                 std::unique_ptr<QIODevice> sound, bool* succeeded)
{
    QSignalSpy ended(&run, &EncoderRun::outputEnded);
    if (!run.start(program, arguments, folder, std::move(sound)))
        return false;
    if (!QTest::qWaitFor([&] { return ended.count() > 0; }, 120000))
        return false;
    *succeeded = ended.at(0).at(0).toBool();
    return true;
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
                   s("Various Artists"), s("1999"), s("1999"), QString(), s("2/2"), s("GBAYE7400012")};
    // 1999 is a genre number LAME refuses: left out, as is the comment nobody gave.
    EXPECT_EQ(EncoderCommandLine::id3TagArguments(tags),
              words("--tt|Two: Words|--tn|4/12|--ta|A/B|--tl|Record|--ty|1999|--tv|TPE2=Various Artists|--tv|"
                    "TPOS=2/2|--tv|TSRC=GBAYE7400012"));
    EXPECT_EQ(EncoderCommandLine::id3TagArguments(TrackTags{s("Intro"), 0, 0, {}, {}, {}, {}, {}, {}, {}, {}}),
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

// Every basic title, plain and faster, is accepted by the real encoder and gives an MP3 without
// histogram escapes in the output the rip reads.
TEST(Presets, EveryTitleEncodesWithTheRealEncoder)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"1 Tone.aiff"_qs);
    ASSERT_TRUE(makeAiff(input, 1.0));
    int runs = 0;
    for (const QString& title : Settings::basicPresetTitles()) {
        if (title == Settings::expertTitle()) {
            EXPECT_TRUE(presetWords(title, false).isEmpty()); // the expert line is used instead
            continue;
        }
        for (bool faster : {false, true}) {
            const std::string what = title.toStdString() + (faster ? " fast" : "");
            const QString output = dir.filePath(u"out%1.mp3"_qs.arg(runs++));
            QProcess lame;
            lame.setProcessChannelMode(QProcess::MergedChannels);
            lame.start(u"lame"_qs, presetWords(title, faster) + QStringList{input, output});
            ASSERT_TRUE(lame.waitForFinished(60000)) << what;
            const QByteArray log = lame.readAll();
            EXPECT_EQ(lame.exitCode(), 0) << what << ": " << log.toStdString();
            EXPECT_FALSE(log.contains("\x1b[")) << what;
            EXPECT_GT(QFileInfo(output).size(), 1000) << what;
        }
    }
    EXPECT_GE(runs, 8);
}

// "fast" goes where the encoder reads it, never into "insane" or "vbr-new" titles (which the
// encoder would take all the same).
TEST(Presets, FastGoesOnlyWhereTheEncoderReadsIt)
{
    EXPECT_EQ(presetWords(u"--nohist --preset standard"_qs, true).join(u' '),
              u"--nohist --preset fast standard"_qs);
    EXPECT_EQ(presetWords(u"--nohist --preset insane"_qs, true).join(u' '), u"--nohist --preset insane"_qs);
    EXPECT_EQ(presetWords(u"-V 2 --vbr-new"_qs, true).join(u' '), u"-V 2 --vbr-new"_qs);
}

// What LAME's progress output ends with, as read from the real program, and what is no estimate.
TEST(EncoderEstimate, OnlyTheEncodersEstimateIsShown)
{
    struct Case {
        const char* chunk;
        const char* shown; // nullptr: no estimate
        qint64 seconds;
    };
    const Case cases[] = {
        {"\r  1494/2298   (65%)|    0:01/    0:02|    0:02/    0:03|   27.703x|    0:01 ", " 0:01 ", 1},
        {"|   12:47 ", "12:47 ", 767},
        {"|    0:03 \n", "0:03 \n", 3},
        {"|    1:02:03 ", "1:02:03 ", 3723},
        {"|   123 h ", "123 h ", 442800},
        {"|     :  \r", nullptr, 0},
        {"ReplayGain: +4.3dB\n", nullptr, 0},
        {"Unknown ID3v1 genre number: '999'.\n", nullptr, 0},
        {"abcdef", nullptr, 0},
        {" 0:03", nullptr, 0}, // five characters or fewer change nothing
    };
    for (const Case& c : cases) {
        const auto estimate = LameProgress::fromChunk(QString::fromLatin1(c.chunk));
        ASSERT_EQ(estimate.has_value(), c.shown != nullptr) << c.chunk;
        if (estimate) {
            EXPECT_EQ(estimate->shown, QString::fromLatin1(c.shown)) << c.chunk;
            EXPECT_EQ(estimate->seconds, c.seconds) << c.chunk;
        }
    }
}

TEST(GenreListParser, NamesRunFromTheFirstLetterToTheLineEnd)
{
    EXPECT_EQ(genres("  0 Blues\n 17 Rock\n"), (QStringList{u"Blues"_qs, u"Rock"_qs}));
    // Blanks, digits and punctuation after the first letter stay; a CR of a CR LF does not.
    EXPECT_EQ(genres("99 Rock & Roll\n100 Drum'n'Bass 2\r\n 27 Trip-Hop\n 8 Jazz+Funk"),
              (QStringList{u"Rock & Roll"_qs, u"Drum'n'Bass 2"_qs, u"Trip-Hop"_qs, u"Jazz+Funk"_qs}));
    // One character per byte: a Latin-1 letter starts a name like any other.
    EXPECT_EQ(genres("5 \xC9lectro\n"), QStringList{QString::fromUtf8("\xC3\x89lectro")});
}

TEST(GenreListParser, BlanksNumbersAloneAndForeignLinesGiveNoName)
{
    EXPECT_TRUE(genres("").isEmpty());
    EXPECT_TRUE(genres(" \n\n\t \r\n").isEmpty());
    // Blank lines between entries, a tail without letters, and a number on a line of its own
    // (its name is then read from the next line, as the scanner crosses line ends).
    EXPECT_EQ(genres("\n\n 1 Classic Rock\n\n\n 2 Country\n 3 \n 4 -- 5\n"),
              (QStringList{u"Classic Rock"_qs, u"Country"_qs}));
    EXPECT_EQ(genres("12\nDance\n"), QStringList{u"Dance"_qs});
    // A line without a genre number (a message from the encoder) is no entry and the scan ends.
    EXPECT_EQ(genres("lame: unrecognized option --genre-list\n 0 Blues\nWarning"), QStringList{u"Blues"_qs});
}

TEST(EncoderRun, SoundOnStandardInputArrivesWholeAndLameEncodesItAtItsLength)
{
    TestEnvironment env;
    QTemporaryDir dir;
    // 12 MB, far more than a pipe holds: the run must wait for the program to take it.
    const QByteArray sound = rawTone(70.0);
    bool succeeded = false;
    {
        EncoderRun copy;
        ASSERT_TRUE(runToTheEnd(copy, u"/bin/sh"_qs, {u"-c"_qs, u"sleep 1; cat > copied"_qs}, dir.path(),
                                deviceWith(sound), &succeeded));
        EXPECT_TRUE(succeeded);
        EXPECT_TRUE(readTestFile(dir.filePath(u"copied"_qs)) == sound);
    }

    const LameEncoder lame;
    const QString mp3 = dir.filePath(u"tone.mp3"_qs);
    EncoderRun run;
    // LAME cannot know the length of sound on its standard input, so it reports no estimate.
    QByteArray output;
    QObject::connect(&run, &EncoderRun::chunkRead, [&](const QByteArray& chunk) { output += chunk; });
    const QStringList arguments = lame.trackArguments(
        lame.sessionArguments(QStringList{u"--preset"_qs, u"cbr"_qs, u"128"_qs}, {}, false),
        EncoderInput::rawSound(), mp3, TrackTags{u"Tone"_qs, 1, 0, {}, {}, {}, {}, {}, {}, {}, {}});
    ASSERT_TRUE(runToTheEnd(run, lame.executable(), arguments, dir.path(),
                            deviceWith(sound.left(44100 * 4 * 10)), &succeeded));
    EXPECT_TRUE(succeeded) << output.toStdString();
    TagLib::FileRef file(mp3.toLocal8Bit().constData());
    ASSERT_FALSE(file.isNull());
    ASSERT_NE(file.audioProperties(), nullptr);
    EXPECT_EQ(file.audioProperties()->lengthInSeconds(), 10);
    EXPECT_EQ(file.audioProperties()->channels(), 2);
    EXPECT_EQ(file.tag()->title().to8Bit(true), "Tone");
}

// A program that goes quiet (stopped with SIGSTOP, hung) is ended and its run fails.
TEST(EncoderRun, AProgramThatPrintsNothingForTooLongIsEnded)
{
    QTemporaryDir dir;
    EncoderRun run;
    run.setSilenceLimit(300);
    QString failure;
    QObject::connect(&run, &EncoderRun::outputEnded, [&](bool, const QString& why) { failure = why; });
    bool succeeded = true;
    ASSERT_TRUE(runToTheEnd(run, u"/bin/sh"_qs, {u"-c"_qs, u"echo started; kill -STOP $$"_qs}, dir.path(),
                            nullptr, &succeeded));
    EXPECT_FALSE(succeeded);
    EXPECT_TRUE(failure.contains(u"printed nothing"_qs)) << failure.toStdString();
}
