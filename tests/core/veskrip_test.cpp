#include "support/fakeencoder.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct RipRun {
    int exitCode = -1;
    QString out;
    QString err;
};

RipRun veskRip(const QStringList& arguments)
{
    QProcess process;
    process.start(s(VESK_TEST_BINARY_DIR "/vesk-rip"), arguments);
    RipRun run;
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

class VeskRipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cd = m_work.path() + s("/cd");
        out = m_work.path() + s("/out");
        QDir().mkpath(cd);
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(makeAiff(cd + QStringLiteral("/%1 Audio Track.aiff").arg(i), 0.5, 200 + 100 * i));
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    QString cd;
    QString out;
};

TEST_F(VeskRipTest, RipsAFolderIntoTaggedMP3Files)
{
    const RipRun run = veskRip({s("--output"), out, s("--id3-tags"), cd});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(s("Processing: 3 Audio Track     (3 of 5)")));
    const QString folder = out + s("/Artist - Title");
    QStringList expected;
    for (int i = 1; i <= 5; ++i)
        expected << QStringLiteral("0%1 -  Audio Track.mp3").arg(i);
    ASSERT_EQ(entries(out), QStringList{s("Artist - Title")});
    ASSERT_EQ(entries(folder), expected);
    for (int i = 1; i <= 5; ++i) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + expected[i - 1]);
        TagLib::MPEG::File file(path.constData());
        ASSERT_TRUE(file.isValid());
        ASSERT_NE(file.audioProperties(), nullptr);
        EXPECT_GT(file.audioProperties()->lengthInMilliseconds(), 400);
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(tag->title().to8Bit(true), QStringLiteral("%1 Audio Track").arg(i).toStdString());
        EXPECT_EQ(tag->track(), unsigned(i));
        EXPECT_EQ(tag->artist().to8Bit(true), "Artist Name");
        EXPECT_EQ(tag->album().to8Bit(true), "Title");
        EXPECT_EQ(tag->year(), 1900u);
        EXPECT_EQ(tag->genre().to8Bit(true), "Rock");
        EXPECT_EQ(tag->comment().to8Bit(true), "Ripped by Vesk");
    }
}

TEST_F(VeskRipTest, ArtistAlbumFoldersAreNumberedWhenTaken)
{
    const QStringList arguments{s("--output"),
                                out,
                                s("--artist-album-dirs"),
                                s("--track"),
                                s("2 Audio Track.aiff"),
                                s("--name-style"),
                                s("%a-%l-%d.mp3"),
                                s("--preset"),
                                s("medium"),
                                cd};
    ASSERT_EQ(veskRip(arguments).exitCode, 0);
    ASSERT_EQ(veskRip(arguments).exitCode, 0);
    EXPECT_EQ(entries(out + s("/Artist")), QStringList({s("Title"), s("Title 1")}));
    EXPECT_EQ(entries(out + s("/Artist/Title 1")), QStringList{s("Artist Name-Title-02.mp3")});
}

TEST_F(VeskRipTest, FailuresAndBadCommandLinesExitNonZero)
{
    QTemporaryDir resources;
    ASSERT_TRUE(writeFakeEncoder(resources.path()));
    QFile::rename(cd + s("/4 Audio Track.aiff"), cd + s("/4 Fail Track.aiff"));
    const RipRun failed = veskRip({s("--resources"), resources.path(), s("--output"), out, cd});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains(s("A track could not be encoded!")));
    EXPECT_TRUE(failed.err.contains(s("4 Fail Track (04 -  Fail Track.mp3)")));
    EXPECT_EQ(entries(out + s("/Artist - Title")).size(), 4);

    QTemporaryDir empty;
    const RipRun missing = veskRip({s("--resources"), empty.path(), s("--output"), out, cd});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(s("The MP3 encoder is missing!")));
    EXPECT_FALSE(missing.out.contains(s("Processing")));

    EXPECT_EQ(veskRip({s("--preset"), s("nonsense"), cd}).exitCode, 2);
    EXPECT_EQ(veskRip({s("--output"), out}).exitCode, 2);
    EXPECT_EQ(veskRip({out + s("/no such folder")}).exitCode, 2);
    const RipRun help = veskRip({s("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--output", "--id3-tags", "--artist-album-dirs", "--spaces-to-underscores",
                               "--release-files", "--name-style", "--server", "--preset", "--expert",
                               "--sound", "--edit-track-info", "--faster", "--track", "--resources"})
        EXPECT_TRUE(help.out.contains(s(option))) << option;

    const RipRun noEditor =
        veskRip({s("--edit-track-info"), s("--output"), out, s("--track"), s("1 Audio Track.aiff"), cd});
    EXPECT_EQ(noEditor.exitCode, 0);
    EXPECT_EQ(noEditor.err.count(s("no track information editor")), 1);
}
