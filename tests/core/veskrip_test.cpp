#include "app/preferences.h"
#include "rip/encoderrun.h"
#include "support/fakeencoder.h"
#include "support/testenvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
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

// Every run names its lookup (none) so that no test reaches a server on the internet.
QProcess* startVeskRip(QProcess& process, const QStringList& arguments)
{
    process.start(s(VESK_TEST_BINARY_DIR "/vesk-rip"),
                  QStringList{s("--server="), s("--no-musicbrainz")} + arguments);
    return &process;
}

RipRun finished(QProcess& process)
{
    RipRun run;
    if (process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
               QString::fromLocal8Bit(process.readAllStandardError())};
    return run;
}

RipRun veskRip(const QStringList& arguments, const QProcessEnvironment& environment = {},
               const QString& workingDirectory = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    return finished(*startVeskRip(process, arguments));
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 120000)
{
    for (QDeadlineTimer deadline(milliseconds); !condition();) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
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
            ASSERT_TRUE(makeAiff(cd + u"/%1 Audio Track.aiff"_qs.arg(i), 0.5, 200 + 100 * i));
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
        const QString name = u"0%1 -  Audio Track.mp3"_qs.arg(i);
        ASSERT_EQ(entries(folder).value(i - 1), name);
        TagLib::MPEG::File file(QFile::encodeName(folder + u'/' + name).constData());
        ASSERT_TRUE(file.isValid() && file.audioProperties() && file.ID3v2Tag());
        EXPECT_GT(file.audioProperties()->lengthInMilliseconds(), 400);
        const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        EXPECT_EQ(tag->title().to8Bit(true), u"%1 Audio Track"_qs.arg(i).toStdString());
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
                                   {s("--output"), out},
                                   {out + s("/no such folder")},
                                   {s("--set"), s("NoSuchKey=1"), cd},
                                   {s("--set"), s("AddID3Tags=perhaps"), cd}})
        EXPECT_EQ(veskRip(bad).exitCode, 2) << bad.join(u' ').toStdString();
}

// A signal stops the rip as the window's Stop does: the encoder ends at once, the release files
// cover what is done, one line says so and the status tells the shell which signal it was.
TEST_F(VeskRipTest, SignalsStopTheRipLikeTheStopButton)
{
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        // The real encoder, except that track 2 hangs until it is ended.
        QTemporaryDir resources;
        const QString pidFile = resources.filePath(s("pid"));
        QFile script(resources.filePath(EncoderRun::encoderResourceName()));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(
            QStringLiteral("#!/bin/sh\ncase \"$*\" in *'2 Audio Track'*) echo $$ > '%1'; exec sleep 600;; "
                           "esac\nexec '%2' \"$@\"\n")
                .arg(pidFile, EncoderRun::encoderPath())
                .toLocal8Bit());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString output = m_work.filePath(QString::number(signalNumber));

        QProcess process;
        startVeskRip(process,
                     {s("--resources"), resources.path(), s("--release-files"), s("-o"), output, cd});
        QFile pidText(pidFile);
        ASSERT_TRUE(
            waitUntil([&] { return QFileInfo(pidFile).size() > 0 && pidText.open(QIODevice::ReadOnly); }));
        const pid_t encoder = pid_t(pidText.readAll().trimmed().toLongLong());
        ::kill(pid_t(process.processId()), signalNumber);
        const RipRun run = finished(process);
        EXPECT_EQ(run.exitCode, 128 + signalNumber) << run.err.toStdString();
        EXPECT_EQ(run.err.count(s("the rip was stopped")), 1) << run.err.toStdString();
        EXPECT_TRUE(waitUntil([&] { return ::kill(encoder, 0) != 0; }, 10000)) << "the encoder is left";
        QFile sfv(output + s("/Artist - Title/00-Artist-Title.sfv"));
        ASSERT_TRUE(sfv.open(QIODevice::ReadOnly));
        EXPECT_TRUE(sfv.readAll().contains("01 -  Audio Track.mp3"));
    }
}

TEST_F(VeskRipTest, SoundPlaysThroughAConsolePlayerOrALogLineSaysWhy)
{
    QTemporaryDir bin;
    const QString marker = bin.filePath(s("played"));
    QFile player(bin.filePath(s("canberra-gtk-play")));
    ASSERT_TRUE(player.open(QIODevice::WriteOnly));
    player.write(u"#!/bin/sh\necho \"$@\" > '%1'\n"_qs.arg(marker).toLocal8Bit());
    player.close();
    player.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(s("PATH"), bin.path());
    const QStringList arguments{s("--sound"), s("--track"), s("1 Audio Track.aiff"), s("-o"), out, cd};
    ASSERT_EQ(veskRip(arguments, environment).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }));
    QFile played(marker);
    ASSERT_TRUE(played.open(QIODevice::ReadOnly));
    EXPECT_TRUE(played.readAll().contains("--id=complete"));

    player.remove();
    const RipRun silent = veskRip(arguments, environment);
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_TRUE(silent.err.contains(s("no sound played"))) << silent.err.toStdString();
}

// No folder is made relative to wherever vesk-rip happens to run.
TEST_F(VeskRipTest, WrongTypedOutputPreferenceAndTildeGiveFoldersUnderHome)
{
    const QString home = QDir::homePath();
    ASSERT_TRUE(Preferences::writeDictionary({{s("OutputDirectory"), 5}}, Preferences::preferencesPath()));
    const QStringList oneTrack{s("--track"), s("1 Audio Track.aiff"), cd};
    const RipRun run = veskRip(oneTrack, {}, m_work.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(s("OutputDirectory"))) << run.err.toStdString();
    EXPECT_EQ(entries(home + s("/Music/Artist - Title")).size(), 1);
    EXPECT_FALSE(QFileInfo::exists(m_work.filePath(s("5"))));

    ASSERT_EQ(veskRip(QStringList{s("--output=~/rips")} + oneTrack, {}, m_work.path()).exitCode, 0);
    EXPECT_EQ(entries(home + s("/rips/Artist - Title")).size(), 1);
}
