#include "app/preferences.h"
#include "support/fakeencoder.h"
#include "support/testenvironment.h"

#include <QDir>
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
    if (process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
               QString::fromLocal8Bit(process.readAllStandardError())};
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
        QDir().mkpath(cd);
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(makeAiff(cd + QStringLiteral("/%1 Audio Track.aiff").arg(i), 0.5, 200 + 100 * i));
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    const QString cd = m_work.filePath(s("cd"));
    const QString out = m_work.filePath(s("out"));
};

TEST_F(VeskRipTest, RipsAFolderIntoTaggedMP3Files)
{
    const RipRun run = veskRip({s("--output"), out, s("--id3-tags"), cd});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(s("Processing: 3 Audio Track     (3 of 5)")));
    const QString folder = out + s("/Artist - Title");
    ASSERT_EQ(entries(out), QStringList{s("Artist - Title")});
    ASSERT_EQ(entries(folder).size(), 5);
    for (int i = 1; i <= 5; ++i) {
        const QString name = QStringLiteral("0%1 -  Audio Track.mp3").arg(i);
        ASSERT_EQ(entries(folder).value(i - 1), name);
        TagLib::MPEG::File file(QFile::encodeName(folder + u'/' + name).constData());
        ASSERT_TRUE(file.isValid() && file.audioProperties() && file.ID3v2Tag());
        EXPECT_GT(file.audioProperties()->lengthInMilliseconds(), 400);
        const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        EXPECT_EQ(tag->title().to8Bit(true), QStringLiteral("%1 Audio Track").arg(i).toStdString());
        EXPECT_EQ(tag->track(), unsigned(i));
        EXPECT_EQ(tag->artist().to8Bit(true), "Artist Name");
        EXPECT_EQ(tag->album().to8Bit(true), "Title");
        EXPECT_EQ(tag->year(), 1900u);
        EXPECT_EQ(tag->genre().to8Bit(true), "Rock");
        EXPECT_EQ(tag->comment().to8Bit(true), "Ripped by Vesk");
    }
}

// vesk-rip starts from a preferences file (the user's own by default); the command line overrides.
TEST_F(VeskRipTest, PreferencesOverridesAndArtistAlbumFoldersNumberedWhenTaken)
{
    const QVariantMap preferences{{s("OutputDirectory"), out},
                                  {s("CreateReleaseFiles"), 1},
                                  {s("BasicConfigOption"), s("--nohist --preset medium")}};
    const QStringList track{s("--artist-album-dirs"), s("--name-style"),
                            s("%a-%l-%d.mp3"),        s("--track"),
                            s("2 Audio Track.aiff"),  cd};
    const QString named = m_work.filePath(s("rip.plist"));
    ASSERT_TRUE(Preferences::writeDictionary(preferences, named));
    const RipRun first = veskRip(QStringList{s("--preferences"), named} + track);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(
        entries(out + s("/Artist/Title")),
        QStringList({s("00-Artist-Title.m3u"), s("00-Artist-Title.sfv"), s("Artist Name-Title-02.mp3")}));

    ASSERT_TRUE(Preferences::writeDictionary(preferences, Preferences::preferencesPath()));
    const RipRun second = veskRip(QStringList{s("--set"), s("CreateReleaseFiles=0")} + track);
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(entries(out + s("/Artist")), QStringList({s("Title"), s("Title 1")}));
    EXPECT_EQ(entries(out + s("/Artist/Title 1")), QStringList{s("Artist Name-Title-02.mp3")});

    const RipRun missing = veskRip({s("--preferences"), m_work.filePath(s("none.plist")), cd});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(s("Cannot read the preferences file")));
}

TEST_F(VeskRipTest, FailuresAndBadCommandLinesExitNonZero)
{
    QTemporaryDir resources;
    ASSERT_TRUE(writeFakeEncoder(resources.path()));
    QFile::rename(cd + s("/4 Audio Track.aiff"), cd + s("/4 Fail Track.aiff"));
    const RipRun failed = veskRip({s("--resources"), resources.path(), s("--output"), out, cd});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains(s("A track could not be encoded!")));

    QTemporaryDir empty;
    const RipRun missing = veskRip({s("--resources"), empty.path(), s("--output"), out, cd});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(s("The MP3 encoder is missing!")));
    EXPECT_FALSE(missing.out.contains(s("Processing")));

    for (const QStringList& bad : {QStringList{s("--preset"), s("nonsense"), cd},
                                   {out + s("/no such folder")},
                                   {s("--set"), s("NoSuchKey=1"), cd},
                                   {s("--set"), s("AddID3Tags=perhaps"), cd}})
        EXPECT_EQ(veskRip(bad).exitCode, 2) << bad.join(u' ').toStdString();
}
