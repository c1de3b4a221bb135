#include "common/alertpresenter.h"
#include "settings/settings.h"
#include "common/resources.h"
#include "lookup/disclookup.h"
#include "rip/lameprocess.h"
#include "rip/soundplayer.h"
#include "support/fakeencoder.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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
        alerts << title + u'\n' + text;
    }
    QStringList alerts;
};

struct CountingSound : SoundPlayer {
    void playFinishedSound() override { ++plays; }
    int plays = 0;
};

// A lookup that finds an album of `count` numbered songs.
struct FixedLookup : DiscLookup {
    explicit FixedLookup(int count) : m_count(count) {}
    void lookupCDInformation(const QString&) override {}
    std::optional<Album> getAlbumInfo() const override
    {
        Album album;
        album.setArtist(s("Band"));
        album.setTitle(s("Record"));
        for (int i = 1; i <= m_count; ++i)
            album.addTrack(Track::trackWithArtist(s("Band"), QStringLiteral("Song %1").arg(i), i));
        return album;
    }
    int m_count;
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class LAMEProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.setAlertPresenter(&alerts);
        settings.setVolumeRoots({});
        session.setSoundPlayer(&sound);
        settings.setOutputDirectory(out() + s("/cd"));
    }

    QString out() const { return m_work.path() + s("/music"); }
    // A new source folder: empty files for the fake encoder, or real AIFF files of that length.
    QString makeCd(const QStringList& names, double seconds = 0)
    {
        const QString cd = m_work.path() + QStringLiteral("/cd%1").arg(++m_cds);
        QDir().mkpath(cd);
        for (const QString& name : names)
            EXPECT_TRUE(seconds > 0 ? makeAiff(cd + u'/' + name, seconds)
                                    : QFile(cd + u'/' + name).open(QIODevice::WriteOnly));
        return cd;
    }
    void useFakeEncoder()
    {
        ASSERT_TRUE(writeFakeEncoder(m_resources.path()));
        Resources::setResourceDirectory(m_resources.path());
    }
    bool ripToTheEnd()
    {
        QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
        session.runEncoder();
        return QTest::qWaitFor([&] { return ended.count() > 0; }, 120000);
    }
    // Everything a finished, stopped or refused session must have reset.
    void expectIdle()
    {
        EXPECT_FALSE(session.isRunning());
        EXPECT_EQ(settings.getptl(), s(""));
        EXPECT_EQ(settings.getptf(), s(""));
        EXPECT_TRUE(session.isStartEnabled());
        EXPECT_FALSE(session.isStopEnabled() || session.isSkipEnabled());
        EXPECT_TRUE(settings.isExpertTextFieldEnabled() && settings.isNameStyleTextFieldEnabled());
        EXPECT_EQ(session.currentTrack(), 1u);
        EXPECT_EQ(session.totalTracks(), 0u);
        EXPECT_TRUE(session.trackPairs().isEmpty());
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    QTemporaryDir m_resources;
    int m_cds = 0;
    RecordingAlerts alerts;
    CountingSound sound;
    Settings settings;
    LAMEProcess session{settings};
};

TEST_F(LAMEProcessTest, SkipKeepsThePartialFileAndGoesOn)
{
    settings.setChosenCDName(makeCd({s("1 Long Track.aiff"), s("2 Long Track.aiff")}, 60.0));
    settings.switchBasicConfig(int(Settings::basicPresetTitles().indexOf(Settings::expertTitle())));
    settings.setText(Settings::Text::ExpertText, s("--nohist -q 0 --preset insane"));
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    QSignalSpy started(&session, &LAMEProcess::trackStarted);
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    const QString first = out() + s("/Artist - Title/01 -  Long Track.mp3");
    const QString second = out() + s("/Artist - Title/02 -  Long Track.mp3");

    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(first).size() > 0; }, 60000));
    session.skipTrack();
    EXPECT_EQ(started.count(), 2);
    EXPECT_EQ(settings.getptl(), s("Processing: 2 Long Track     (2 of 2)"));
    // Cut short: a whole minute at 320 kbit/s takes 2.4 MB.
    EXPECT_LT(QFileInfo(first).size(), 2000000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(second).size() > 0; }, 60000));
    session.skipTrack(); // the last track: the session finishes, without the sound
    ASSERT_EQ(ended.count(), 1);
    EXPECT_TRUE(ended.at(0).at(0).toStringList().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(first) && QFileInfo::exists(second));
    EXPECT_EQ(sound.plays, 0);
    EXPECT_TRUE(alerts.alerts.isEmpty());
    expectIdle();
}

TEST_F(LAMEProcessTest, StopEndsTheSessionAndKeepsWhatWasWritten)
{
    const QStringList tracks{s("1 Long Track.aiff"), s("2 Long Track.aiff"), s("3 Long Track.aiff")};
    settings.setChosenCDName(makeCd(tracks, 60.0));
    settings.setChosenTracks(tracks);
    settings.setBasicConfigOption(s("--nohist -q 0 --preset insane"));
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::On);
    QSignalSpy started(&session, &LAMEProcess::trackStarted);
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    const QString folder = out() + s("/Artist/Title");
    // The real encoder's progress reports end in its estimate, so the line shows m:ss.
    bool estimateShown = false;
    QObject::connect(&settings, &Settings::textChanged, [&](Settings::Text field) {
        static const QRegularExpression estimate(s("^Est\\. Time Remaining: +\\d+:\\d\\d\\s*$"));
        if (field == Settings::Text::Ptf)
            estimateShown = estimateShown || estimate.match(settings.getptf()).hasMatch();
    });

    session.runEncoder();
    EXPECT_FALSE(session.isStartEnabled());
    EXPECT_FALSE(settings.isNameStyleTextFieldEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() == 2; }, 120000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFileInfo(folder + s("/02 -  Long Track.mp3")).size() > 0; }, 60000));
    EXPECT_TRUE(session.windowShouldClose()); // closing the window stops the rip
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(started.count(), 2);
    EXPECT_TRUE(estimateShown);
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

TEST_F(LAMEProcessTest, StatusLineFollowsTheTracksAndFailedTracksAreNamedOnceAtTheEnd)
{
    useFakeEncoder();
    const QStringList names{s("1 Good.aiff"), s("2 Fail.aiff"), s("3 Crash.aiff"), s("4 Good.aiff")};
    settings.setChosenCDName(makeCd(names));
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    QStringList statusLines;
    QObject::connect(&settings, &Settings::textChanged, [&](Settings::Text field) {
        if (field == Settings::Text::Ptl)
            statusLines << settings.getptl();
    });
    QStringList outputPaths;
    QObject::connect(&session, &LAMEProcess::trackStarted, [&](int, int) {
        EXPECT_TRUE(session.isRunning());
        outputPaths << settings.getChosenOutputDirectory();
    });
    LogCapture log;
    ASSERT_TRUE(ripToTheEnd());

    QStringList expected;
    for (int k = 1; k <= 4; ++k)
        expected << QStringLiteral("Processing: %1     (%2 of 4)").arg(names[k - 1].chopped(5)).arg(k);
    EXPECT_EQ(statusLines, expected << s(""));
    EXPECT_EQ(outputPaths, QStringList(4, out() + s("/Artist/Title")));
    EXPECT_EQ(settings.getChosenOutputDirectory(), out() + s("/cd"));
    EXPECT_EQ(sound.plays, 1);
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].contains(s("2 Fail (02 -  Fail.mp3)")));
    EXPECT_TRUE(alerts.alerts[0].contains(s("3 Crash (03 -  Crash.mp3)")));
    EXPECT_FALSE(alerts.alerts[0].contains(s("Good")));
    EXPECT_EQ(log.lines().filter(s("was not encoded")).size(), 2);
    EXPECT_EQ(entries(out() + s("/Artist/Title")), QStringList({s("01 -  Good.mp3"), s("04 -  Good.mp3")}));
    expectIdle();
}

TEST_F(LAMEProcessTest, TimeRemainingShowsTheLastSixCharactersOfLongerChunks)
{
    useFakeEncoder();
    settings.setChosenCDName(makeCd({s("1 Chunks.aiff")}));
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

TEST_F(LAMEProcessTest, NothingToRipStartsNothing)
{
    useFakeEncoder();
    settings.setChosenCDName(makeCd({s(".DS_Store"), s(".TOC.plist")}));
    session.runEncoder();
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].startsWith(s("Nothing to rip!")));
    EXPECT_FALSE(QFileInfo::exists(out()));
    expectIdle();
}

TEST_F(LAMEProcessTest, LookupAlbumIsTrimmedToTheChosenTracksOrReplaced)
{
    useFakeEncoder();
    const QStringList chosen{s("2 Audio Track.aiff"), s("4 Audio Track.aiff")};
    settings.setChosenCDName(makeCd(chosen));
    settings.setChosenTracks(chosen);
    session.setDiscLookupFactory([](LookupHost&) { return std::make_unique<FixedLookup>(12); });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(entries(out() + s("/Band - Record")),
              QStringList({s("02 - Song 2.mp3"), s("04 - Song 4.mp3")}));

    // The server's album lacks track 4: the file names are used instead, and the user is told.
    settings.setChosenTracks(chosen);
    session.setDiscLookupFactory([](LookupHost&) { return std::make_unique<FixedLookup>(3); });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(entries(out() + s("/Artist - Title")),
              QStringList({s("02 -  Audio Track.mp3"), s("04 -  Audio Track.mp3")}));
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].contains(s("lists 1 of the 2 chosen tracks; using the track file names")));
}

// Without an editor the option is reported once per session object and the rip goes on.
TEST_F(LAMEProcessTest, SameNamesKeepEveryFileAndTheEditorIsOptional)
{
    useFakeEncoder();
    settings.setChosenCDName(makeCd({s("1 A.aiff"), s("2 B.aiff"), s("3 C.aiff")}));
    settings.setText(Settings::Text::NameStyle, s("same.mp3"));
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::On);
    LogCapture log;
    ASSERT_TRUE(ripToTheEnd());
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(entries(out() + s("/Artist - Title")),
              QStringList({s("same 2.mp3"), s("same 3.mp3"), s("same.mp3")}));
    EXPECT_EQ(entries(out() + s("/Artist - Title 1")).size(), 3);
    EXPECT_EQ(log.lines().filter(s("no track information editor")).size(), 1);
}
