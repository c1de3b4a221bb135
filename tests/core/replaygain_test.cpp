// ReplayGain values against ffmpeg's own EBU R128 meter (its ebur128 filter, which shares no code
// with libebur128) on the same sound, and peaks against the samples themselves.
#include "output/replaygain/replaygainmeter.h"
#include "support/testenvironment.h"

#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>

namespace {
struct RawFormat {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
};

// Raw signed little-endian sound made by sox from a synth effect line.
QByteArray soxSound(const QString& synth, const RawFormat& format = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sound.raw"_qs);
    const QString line = u"-n -r %1 -c %2 -b %3 -e signed-integer -L -t raw %4 %5"_qs;
    EXPECT_EQ(QProcess::execute(
                  u"sox"_qs,
                  line.arg(format.rate).arg(format.channels).arg(format.bits).arg(path, synth).split(u' ')),
              0);
    return readTestFile(path);
}

// The integrated loudness ffmpeg reports for raw sound, in LUFS to one decimal; -inf for none.
double ffmpegLoudness(const QByteArray& sound, const RawFormat& format = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sound.raw"_qs);
    EXPECT_TRUE(writeTestFile(path, sound));
    const QString line = u"-nostdin -hide_banner -nostats -f s%1le -ar %2 -ac %3 -i %4 -filter_complex "
                         "ebur128=peak=sample:dualmono=true -f null -"_qs;
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_qs,
                 line.arg(format.bits).arg(format.rate).arg(format.channels).arg(path).split(u' '));
    EXPECT_TRUE(ffmpeg.waitForFinished(120000));
    const QString log = QString::fromUtf8(ffmpeg.readAllStandardError());
    double loudness = std::nan("");
    for (const auto& match : QRegularExpression(u"I:\\s+(-?[0-9.]+|-inf) LUFS"_qs).globalMatch(log))
        loudness = match.captured(1) == u"-inf"_qs ? -INFINITY : match.captured(1).toDouble();
    return loudness <= -70.0 ? -INFINITY : loudness;
}

// The largest sample magnitude over full scale, read straight from the 16-bit samples.
double directPeak(const QByteArray& sound)
{
    int highest = 0;
    for (qsizetype i = 0; i + 1 < sound.size(); i += 2)
        highest = std::max(highest, std::abs(int(qFromLittleEndian<qint16>(sound.constData() + i))));
    return highest / 32768.0;
}

// A meter fed the sound in uneven pieces, most of them ending in the middle of a frame.
ReplayGainMeter measured(const QByteArray& sound, const RawFormat& format = {})
{
    ReplayGainMeter meter(format.rate, format.channels, format.bits);
    qsizetype at = 0;
    for (qsizetype piece = 1; at < sound.size(); piece = piece * 7 % 65521 + 1) {
        const qsizetype size = std::min(piece, sound.size() - at);
        meter.add(sound.constData() + at, size);
        at += size;
    }
    return meter;
}
} // namespace

// Track gain is -18 LUFS minus the loudness ffmpeg measures, whatever the format; the peak is the
// largest sample.
TEST(ReplayGainTest, TrackValuesMatchFfmpegsMeter)
{
    const QByteArray noise = soxSound(u"synth 10 pinknoise gain -20"_qs);
    const QByteArray tone = soxSound(u"synth 8 sine 1000 gain -3"_qs);
    for (const QByteArray& sound : {noise, tone}) {
        const auto values = measured(sound).finish();
        ASSERT_TRUE(values);
        EXPECT_NEAR(values->gainDb, -18.0 - ffmpegLoudness(sound), 0.1);
        EXPECT_DOUBLE_EQ(values->peak, directPeak(sound));
    }

    // A 24-bit mono track at 48 kHz counts as the same sound on both speakers.
    const RawFormat mono{48000, 1, 24};
    const QByteArray monoTone = soxSound(u"synth 6 sine 440 gain -12"_qs, mono);
    const auto monoValues = measured(monoTone, mono).finish();
    ASSERT_TRUE(monoValues);
    EXPECT_NEAR(monoValues->gainDb, -18.0 - ffmpegLoudness(monoTone, mono), 0.1);
    EXPECT_NEAR(monoValues->peak, std::pow(10.0, -12.0 / 20.0), 0.001);

    EXPECT_FALSE(ReplayGainMeter(44100, 2, 12).isValid());
    EXPECT_FALSE(ReplayGainMeter(44100, 2, 12).finish());
}

// The album is gated as one programme: its loudness is that of the tracks played one after the
// other, not the average of the tracks' figures. Silence has no gain and changes no album.
TEST(ReplayGainTest, AlbumIsTheLoudnessOfAllTracksTogether)
{
    const QByteArray loud = soxSound(u"synth 30 pinknoise gain -14"_qs);
    const QByteArray quiet = soxSound(u"synth 20 sine 300 gain -30"_qs);
    const QByteArray silence(44100 * 4 * 3, '\0');
    const ReplayGainMeter loudMeter = measured(loud);
    const ReplayGainMeter quietMeter = measured(quiet);
    const ReplayGainMeter silentMeter = measured(silence);

    const auto album = ReplayGainMeter::album({&loudMeter, &quietMeter});
    ASSERT_TRUE(album);
    EXPECT_NEAR(album->gainDb, -18.0 - ffmpegLoudness(loud + quiet), 0.1);
    const double averageGain = (loudMeter.finish()->gainDb + quietMeter.finish()->gainDb) / 2;
    EXPECT_GT(std::abs(album->gainDb - averageGain), 1.0);
    EXPECT_DOUBLE_EQ(album->peak, std::max(directPeak(loud), directPeak(quiet)));

    EXPECT_EQ(ffmpegLoudness(silence), -INFINITY);
    EXPECT_FALSE(silentMeter.finish());
    EXPECT_FALSE(ReplayGainMeter::album({&silentMeter}));
    const auto withSilence = ReplayGainMeter::album({&silentMeter, &loudMeter, &quietMeter});
    ASSERT_TRUE(withSilence);
    EXPECT_NEAR(withSilence->gainDb, -18.0 - ffmpegLoudness(silence + loud + quiet), 0.1);
}

TEST(ReplayGainTest, ValuesReadTheSameInEveryLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ((ReplayGainValues{-6.5249, 0.98852549}.gainText()), u"-6.52 dB"_qs);
    EXPECT_EQ((ReplayGainValues{2.1, 1.0}.gainText()), u"+2.10 dB"_qs);
    EXPECT_EQ((ReplayGainValues{-0.004, 0.0}.gainText()), u"+0.00 dB"_qs);
    EXPECT_EQ((ReplayGainValues{-6.5249, 0.98852549}.peakText()), u"0.988525"_qs);
    QLocale::setDefault(QLocale::c());
}
