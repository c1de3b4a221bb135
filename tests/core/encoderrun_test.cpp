// Sound that is not a file reaches the encoder through its standard input: every byte, in order,
// however slowly the program takes it, and the real LAME encodes it at its true length.
#include "encoder/encoderrun.h"
#include "encoder/lame/lameencoder.h"
#include "support/testenvironment.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <taglib/fileref.h>

namespace {
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
        EncoderInput::rawSound(), mp3, TrackTags{u"Tone"_qs, 1, 0, {}, {}, {}, {}, {}, {}, {}});
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
