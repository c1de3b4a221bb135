#include "app/alertpresenter.h"
#include "app/settings.h"
#include "common/resources.h"
#include "editor/trackeditor.h"
#include "lookup/disclookup.h"
#include "rip/lameprocess.h"
#include "rip/soundplayer.h"
#include "support/fakeencoder.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct RecordingAlerts : AlertPresenter {
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        alerts << title + s("\n") + text;
    }
    QStringList alerts;
};

struct CountingSound : SoundPlayer {
    void playFinishedSound() override { ++plays; }
    int plays = 0;
};

struct CancellingEditor : TrackEditor {
    void displayTrackInfo(const Album&) override { ++shown; }
    bool userDidEditInformation() const override { return false; }
    Album getEditedInformation() const override { return Album(); }
    int shown = 0;
};

struct FixedLookup : DiscLookup {
    explicit FixedLookup(std::optional<Album> album) : m_album(std::move(album)) {}
    void lookupCDInformation(const QString&) override {}
    std::optional<Album> getAlbumInfo() const override { return m_album; }
    std::optional<Album> m_album;
};

Album numberedAlbum(int count)
{
    Album album;
    album.setArtist(s("Band"));
    album.setTitle(s("Record"));
    for (int i = 1; i <= count; ++i)
        album.addTrack(Track::trackWithArtist(s("Band"), QStringLiteral("Song %1").arg(i), i));
    return album;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

// Real AIFF files shared by the tests: they are only read.
QTemporaryDir* g_material = nullptr;
QString shortCd()
{
    return g_material->path() + s("/short");
}
QString longCd()
{
    return g_material->path() + s("/long");
}
} // namespace

class LAMEProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_material = new QTemporaryDir;
        QDir(g_material->path()).mkpath(s("short"));
        QDir(g_material->path()).mkpath(s("long"));
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(
                makeAiff(shortCd() + QStringLiteral("/%1 Audio Track.aiff").arg(i), 1.0, 300 + 50 * i));
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(makeAiff(longCd() + QStringLiteral("/%1 Long Track.aiff").arg(i), 60.0, 440));
    }
    static void TearDownTestSuite()
    {
        delete g_material;
        g_material = nullptr;
    }

    void SetUp() override
    {
        settings.setAlertPresenter(&alerts);
        settings.setVolumeRoots({});
        session.setSoundPlayer(&sound);
        settings.setOutputDirectory(out() + s("/cd"));
    }

    QString out() const { return m_work.path() + s("/music"); }
    QString fakeCd(const QStringList& names)
    {
        const QString cd = m_work.path() + s("/fakecd");
        QDir().mkpath(cd);
        for (const QString& name : names) {
            QFile file(cd + QLatin1Char('/') + name);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
        return cd;
    }
    void useFakeEncoder()
    {
        ASSERT_TRUE(writeFakeEncoder(m_resources.path()));
        Resources::setResourceDirectory(m_resources.path());
    }
    // Runs a session to its end; false when it did not end in time.
    bool ripToTheEnd()
    {
        QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
        session.runEncoder();
        return QTest::qWaitFor([&] { return ended.count() > 0; }, 120000);
    }
    void expectIdle()
    {
        EXPECT_FALSE(session.isRunning());
        EXPECT_EQ(settings.getptl(), s(""));
        EXPECT_EQ(settings.getptf(), s(""));
        EXPECT_TRUE(session.isStartEnabled());
        EXPECT_FALSE(session.isStopEnabled());
        EXPECT_FALSE(session.isSkipEnabled());
        EXPECT_TRUE(settings.isExpertTextFieldEnabled());
        EXPECT_TRUE(settings.isNameStyleTextFieldEnabled());
        EXPECT_EQ(session.currentTrack(), 1u);
        EXPECT_EQ(session.totalTracks(), 0u);
        EXPECT_TRUE(session.trackPairs().isEmpty());
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    QTemporaryDir m_resources;
    RecordingAlerts alerts;
    CountingSound sound;
    Settings settings;
    LAMEProcess session{settings};
};

TEST_F(LAMEProcessTest, StatusLineFollowsTheTracksAndTheSessionEndsIdle)
{
    settings.setChosenCDName(shortCd());
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    QStringList statusLines;
    QStringList outputPaths;
    QObject::connect(&settings, &Settings::textChanged, [&](Settings::Text field) {
        if (field == Settings::Text::Ptl)
            statusLines << settings.getptl();
    });
    QList<bool> runningAtStart;
    QObject::connect(&session, &LAMEProcess::trackStarted, [&](int, int) {
        runningAtStart << session.isRunning();
        outputPaths << settings.getChosenOutputDirectory();
    });
    EXPECT_FALSE(session.isRunning());
    ASSERT_TRUE(ripToTheEnd());

    QStringList expected;
    for (int k = 1; k <= 5; ++k)
        expected << QStringLiteral("Processing: %1 Audio Track     (%1 of 5)").arg(k);
    expected << s("");
    EXPECT_EQ(statusLines, expected);
    EXPECT_EQ(runningAtStart, QList<bool>(5, true));
    EXPECT_EQ(outputPaths.value(0), out() + s("/Artist/Title"));
    EXPECT_EQ(settings.getChosenOutputDirectory(), out() + s("/cd"));
    EXPECT_EQ(sound.plays, 1);
    EXPECT_TRUE(alerts.alerts.isEmpty());
    EXPECT_EQ(entries(out() + s("/Artist/Title")).size(), 5);
    EXPECT_GT(fileSize(out() + s("/Artist/Title/05 -  Audio Track.mp3")), 1000);
    expectIdle();
}

TEST_F(LAMEProcessTest, SkipKeepsThePartialFileAndGoesOn)
{
    settings.setChosenCDName(longCd());
    settings.setChosenTracks({s("1 Long Track.aiff"), s("2 Long Track.aiff")});
    settings.switchBasicConfig(int(Settings::basicPresetTitles().indexOf(Settings::expertTitle())));
    settings.setText(Settings::Text::ExpertText, s("--nohist -q 0 --preset insane"));
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    QSignalSpy started(&session, &LAMEProcess::trackStarted);
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    const QString first = out() + s("/Artist - Title/01 -  Long Track.mp3");
    const QString second = out() + s("/Artist - Title/02 -  Long Track.mp3");

    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileSize(first) > 0; }, 60000));
    session.skipTrack();
    EXPECT_EQ(started.count(), 2);
    EXPECT_EQ(settings.getptl(), s("Processing: 2 Long Track     (2 of 2)"));
    // Interrupted: far from the 2.4 MB a whole minute at 320 kbit/s takes, and still there.
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_LT(fileSize(first), 2000000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileSize(second) > 0; }, 60000));
    session.skipTrack(); // the last track: the session finishes, without the sound
    ASSERT_EQ(ended.count(), 1);
    EXPECT_TRUE(ended.at(0).at(0).toStringList().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_EQ(sound.plays, 0);
    EXPECT_TRUE(alerts.alerts.isEmpty());
    expectIdle();
}

TEST_F(LAMEProcessTest, StopEndsTheSessionAndKeepsWhatWasWritten)
{
    settings.setChosenCDName(longCd());
    settings.setChosenTracks(entries(longCd()));
    settings.setBasicConfigOption(s("--nohist -q 0 --preset insane"));
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::On);
    QSignalSpy started(&session, &LAMEProcess::trackStarted);
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    const QString folder = out() + s("/Artist/Title");

    session.runEncoder();
    EXPECT_FALSE(session.isStartEnabled());
    EXPECT_FALSE(settings.isNameStyleTextFieldEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() == 2; }, 120000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileSize(folder + s("/02 -  Long Track.mp3")) > 0; }, 60000));
    EXPECT_TRUE(session.windowShouldClose()); // closing the window stops the rip
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(started.count(), 2);
    // A stopped session still gets its release files, listing what the folder holds.
    EXPECT_EQ(entries(folder), QStringList({s("00-Artist-Title.m3u"), s("00-Artist-Title.sfv"),
                                            s("01 -  Long Track.mp3"), s("02 -  Long Track.mp3")}));
    QFile m3u(folder + s("/00-Artist-Title.m3u"));
    ASSERT_TRUE(m3u.open(QIODevice::ReadOnly));
    EXPECT_EQ(m3u.readAll(), QByteArray("01 -  Long Track.mp3\n02 -  Long Track.mp3\n"));
    QFile sfv(folder + s("/00-Artist-Title.sfv"));
    ASSERT_TRUE(sfv.open(QIODevice::ReadOnly));
    EXPECT_EQ(sfv.readAll().count("Long Track.mp3 "), 2);
    EXPECT_EQ(settings.getChosenOutputDirectory(), out() + s("/cd"));
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
    EXPECT_EQ(sound.plays, 0);
    expectIdle();
    session.stop(); // harmless while idle
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(LAMEProcessTest, FailedTracksAreNamedOnceAtTheEnd)
{
    useFakeEncoder();
    settings.setChosenCDName(
        fakeCd({s("1 Good.aiff"), s("2 Fail.aiff"), s("3 Crash.aiff"), s("4 Good.aiff")}));
    LogCapture log;
    ASSERT_TRUE(ripToTheEnd());
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].contains(s("2 Fail (02 -  Fail.mp3)")));
    EXPECT_TRUE(alerts.alerts[0].contains(s("3 Crash (03 -  Crash.mp3)")));
    EXPECT_FALSE(alerts.alerts[0].contains(s("Good")));
    int failureLines = 0;
    for (const QString& line : log.lines())
        failureLines += line.contains(s("was not encoded")) ? 1 : 0;
    EXPECT_EQ(failureLines, 2);
    EXPECT_EQ(entries(out() + s("/Artist - Title")), QStringList({s("01 -  Good.mp3"), s("04 -  Good.mp3")}));
    expectIdle();
}

TEST_F(LAMEProcessTest, TimeRemainingShowsTheLastSixCharactersOfLongerChunks)
{
    useFakeEncoder();
    settings.setChosenCDName(fakeCd({s("1 Chunks.aiff")}));
    QStringList shown;
    QObject::connect(&settings, &Settings::textChanged, [&](Settings::Text field) {
        if (field == Settings::Text::Ptf)
            shown << settings.getptf();
    });
    ASSERT_TRUE(ripToTheEnd());
    // "abcdef" is shown whole, "12345" changes nothing, the progress line is cut to its end.
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown[0], s("Est. Time Remaining: abcdef"));
    EXPECT_EQ(shown[1], s("Est. Time Remaining: 0:00 \n"));
    EXPECT_EQ(shown.last(), s(""));
}

TEST_F(LAMEProcessTest, MissingEncoderOrNothingToRipStartsNothing)
{
    Resources::setResourceDirectory(m_resources.path()); // holds no encoder
    settings.setChosenCDName(shortCd());
    session.runEncoder();
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].contains(s("lame_intel")) || alerts.alerts[0].contains(s("lame_ppc")));
    EXPECT_FALSE(QFileInfo::exists(out()));
    expectIdle();

    useFakeEncoder();
    alerts.alerts.clear();
    settings.setChosenCDName(fakeCd({s(".DS_Store"), s(".TOC.plist")}));
    session.runEncoder();
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].startsWith(s("Nothing to rip!")));
    EXPECT_FALSE(QFileInfo::exists(out()));
    expectIdle();
}

TEST_F(LAMEProcessTest, LookupAlbumIsTrimmedToTheChosenTracksOrReplaced)
{
    useFakeEncoder();
    settings.setChosenCDName(fakeCd({s("2 Audio Track.aiff"), s("4 Audio Track.aiff")}));
    settings.setChosenTracks({s("2 Audio Track.aiff"), s("4 Audio Track.aiff")});
    session.setDiscLookupFactory(
        [](LookupHost&) { return std::make_unique<FixedLookup>(numberedAlbum(12)); });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(entries(out() + s("/Band - Record")),
              QStringList({s("02 - Song 2.mp3"), s("04 - Song 4.mp3")}));

    // The server's album lacks track 4: the file names are used instead, with a log line.
    LogCapture log;
    settings.setChosenTracks({s("2 Audio Track.aiff"), s("4 Audio Track.aiff")});
    session.setDiscLookupFactory([](LookupHost&) { return std::make_unique<FixedLookup>(numberedAlbum(3)); });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_TRUE(log.contains(s("using the track file names instead")));
    EXPECT_EQ(entries(out() + s("/Artist - Title")),
              QStringList({s("02 -  Audio Track.mp3"), s("04 -  Audio Track.mp3")}));
    EXPECT_TRUE(alerts.alerts.isEmpty());
}

TEST_F(LAMEProcessTest, SameNamesKeepEveryFileAndTheEditorIsOptional)
{
    useFakeEncoder();
    settings.setChosenCDName(fakeCd({s("1 A.aiff"), s("2 B.aiff"), s("3 C.aiff")}));
    settings.setText(Settings::Text::NameStyle, s("same.mp3"));
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::On);
    LogCapture log;
    ASSERT_TRUE(ripToTheEnd());
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(entries(out() + s("/Artist - Title")),
              QStringList({s("same 2.mp3"), s("same 3.mp3"), s("same.mp3")}));
    EXPECT_EQ(entries(out() + s("/Artist - Title 1")).size(), 3);
    int noEditorLines = 0;
    for (const QString& line : log.lines())
        noEditorLines += line.contains(s("no track information editor")) ? 1 : 0;
    EXPECT_EQ(noEditorLines, 1);

    // Cancelling the editor makes nothing and empties the track choice.
    CancellingEditor editor;
    session.setTrackEditor(&editor);
    settings.setChosenTracks({s("1 A.aiff")});
    QSignalSpy started(&session, &LAMEProcess::trackStarted);
    session.runEncoder();
    EXPECT_EQ(editor.shown, 1);
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(entries(out()).size(), 2);
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
    expectIdle();
}
