#include "app/settings.h"
#include "support/testenvironment.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// An MP3 stream starts with an ID3v2 tag or an MPEG audio frame header.
bool looksLikeMp3(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    if (head.startsWith("ID3"))
        return true;
    return head.size() == 4 && quint8(head[0]) == 0xFF && (quint8(head[1]) & 0xE0) == 0xE0 &&
           file.size() > 1000;
}

QStringList words(const QString& title, bool faster)
{
    Settings settings;
    settings.setBasicConfigOption(title);
    settings.setCheckState(Settings::Option::MakeAltPresetFaster, faster ? Settings::On : Settings::Off);
    return settings.getBasicConfigOption().value_or(QStringList());
}
} // namespace

TEST(PresetsTest, FastGoesWhereTheEncoderTakesIt)
{
    using L = QStringList;
    EXPECT_EQ(words(QStringLiteral("--nohist --preset standard"), true),
              (L{QStringLiteral("--nohist"), QStringLiteral("--preset"), QStringLiteral("fast"),
                 QStringLiteral("standard")}));
    EXPECT_EQ(words(QStringLiteral("--nohist --preset standard"), false),
              (L{QStringLiteral("--nohist"), QStringLiteral("--preset"), QStringLiteral("standard")}));
    EXPECT_EQ(words(QStringLiteral("--preset insane"), true),
              (L{QStringLiteral("--preset"), QStringLiteral("insane")}));
    EXPECT_EQ(words(QStringLiteral("--vbr-new --preset extreme"), true).count(QStringLiteral("fast")), 0);
    EXPECT_EQ(words(QStringLiteral("--preset cbr 192"), true).count(QStringLiteral("fast")), 0);
    EXPECT_EQ(words(QStringLiteral("a  b"), false), (L{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_EQ(words(QString(), false), L{QString()});

    Settings settings;
    settings.setBasicConfigOption(Settings::expertTitle());
    EXPECT_FALSE(settings.getBasicConfigOption());
    EXPECT_TRUE(settings.getExpertConfigOption().isEmpty());
    settings.setText(Settings::Text::ExpertText, QStringLiteral("-V 2 "));
    EXPECT_EQ(settings.getExpertConfigOption(), (L{QStringLiteral("-V"), QStringLiteral("2"), QString()}));
}

// Every basic title, plain and faster, is accepted by the real encoder and gives an MP3.
TEST(PresetsTest, EveryTitleEncodesWithTheRealEncoder)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("1 Tone.aiff"));
    ASSERT_TRUE(makeAiff(input, 1.0));
    int runs = 0;
    for (const QString& title : Settings::basicPresetTitles()) {
        if (title == Settings::expertTitle())
            continue;
        for (bool faster : {false, true}) {
            const QString output = dir.filePath(QStringLiteral("out%1.mp3").arg(runs++));
            QProcess lame;
            lame.setProcessChannelMode(QProcess::MergedChannels);
            lame.start(QStringLiteral("lame"), words(title, faster) + QStringList{input, output});
            ASSERT_TRUE(lame.waitForFinished(60000)) << title.toStdString();
            const QByteArray log = lame.readAll();
            EXPECT_EQ(lame.exitCode(), 0)
                << title.toStdString() << (faster ? " fast: " : ": ") << log.toStdString();
            EXPECT_TRUE(looksLikeMp3(output)) << title.toStdString();
            // No histogram escapes reach the pipe the rip reads.
            EXPECT_FALSE(log.contains("\x1b[")) << title.toStdString();
        }
    }
    EXPECT_GE(runs, 8);
}
