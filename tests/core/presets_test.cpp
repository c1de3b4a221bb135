#include "encoder/lame/lameencoder.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
QStringList words(const QString& title, bool faster)
{
    Settings settings;
    settings.setBasicConfigOption(title);
    settings.setCheckState(Settings::Option::MakeAltPresetFaster, faster ? Settings::On : Settings::Off);
    const QStringList plain = settings.getBasicConfigOption().value_or(QStringList());
    return faster && !plain.isEmpty() ? LameEncoder::fasterPresetWords(plain) : plain;
}
} // namespace

// Every basic title, plain and faster, is accepted by the real encoder and gives an MP3 without
// histogram escapes in the output the rip reads.
TEST(PresetsTest, EveryTitleEncodesWithTheRealEncoder)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"1 Tone.aiff"_qs);
    ASSERT_TRUE(makeAiff(input, 1.0));
    int runs = 0;
    for (const QString& title : Settings::basicPresetTitles()) {
        if (title == Settings::expertTitle()) {
            EXPECT_TRUE(words(title, false).isEmpty()); // the expert line is used instead
            continue;
        }
        for (bool faster : {false, true}) {
            const std::string what = title.toStdString() + (faster ? " fast" : "");
            const QString output = dir.filePath(u"out%1.mp3"_qs.arg(runs++));
            QProcess lame;
            lame.setProcessChannelMode(QProcess::MergedChannels);
            lame.start(u"lame"_qs, words(title, faster) + QStringList{input, output});
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
    EXPECT_EQ(words(u"--nohist --preset standard"_qs, true).join(u' '),
              u"--nohist --preset fast standard"_qs);
    EXPECT_EQ(words(u"--nohist --preset insane"_qs, true).join(u' '), u"--nohist --preset insane"_qs);
    EXPECT_EQ(words(u"-V 2 --vbr-new"_qs, true).join(u' '), u"-V 2 --vbr-new"_qs);
}
