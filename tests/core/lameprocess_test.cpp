// The rip session with the fake encoder: status lines, failures named once, the lookup's album
// trimmed or replaced, several encoders, Skip and Stop; with a lookup on its worker thread (the
// window's thread stays free, Stop and quitting end it at once, the chooser is asked on the main
// thread); and the disc as the window lists it (tracks and lengths at once, titles from the
// background lookup, ticks shared with the settings, a rip that takes the list's titles).
#include "cddbserver.h"
#include "common/cdfolder.h"
#include "common/resources.h"
#include "common/soundplayer.h"
#include "lookup/albumchooser.h"
#include "lookup/cddb/freedbaccess.h"
#include "lookup/disclookuprunner.h"
#include "lookup/lookupfailure.h"
#include "rip/disclisting.h"
#include "rip/lameprocess.h"
#include "rip/riptimeestimate.h"
#include "rip/tracklistmodel.h"
#include "settings/settings.h"
#include "support/fakeencoder.h"
#include "support/recordinghost.h"
#include "support/testdiscimage.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

namespace {
struct CountingSound : SoundPlayer {
    void playFinishedSound() override { ++plays; }
    int plays = 0;
};

struct SecondChoice : AlbumChooser {
    int displayMultipleAlbumMatches(const QStringList& lines) override
    {
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        return lines.size() > 1 ? 1 : 0;
    }
    bool onMainThread = false;
};

// A lookup that asks a source, which says no.
struct RefusedLookup : DiscLookup {
    explicit RefusedLookup(LookupHost& host) : host(host) {}
    void lookupCDInformation(const QString&) override
    {
        host.lookupProgress(u"Asking the source…"_qs);
        LookupFailure failure;
        failure.kind = VeskException::Kind::Refused;
        failure.what = u"It said no."_qs;
        failure.report(host);
    }
    std::optional<Album> getAlbumInfo() const override { return std::nullopt; }
    LookupHost& host;
};

} // namespace

class LAMEProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.setAlertPresenter(&alerts);
        session.cdFinder().lookNowhere();
        settings.setEncoderJobs(1); // one after another unless a case asks for more
        session.setSoundPlayer(&sound);
        settings.setOutputDirectory(out());
        ASSERT_TRUE(writeFakeEncoder(m_resources.path()));
        Resources::setResourceDirectory(m_resources.path());
    }

    QString out() const { return m_work.path() + s("/music"); }
    // A disc of one track with its ".TOC.plist", looked up at the CDDB server on 127.0.0.1.
    QString tocCd()
    {
        const QString cd = makeCd({s("1 Audio Track.aiff")});
        EXPECT_TRUE(writeTestFile(cd + s("/.TOC.plist"), oneSessionTocPlist({150}, 300)));
        settings.setText(Settings::Text::FreedbServer, s("127.0.0.1"));
        return cd;
    }
    void writeEntry(const QString& category, const QString& album)
    {
        const QString id = discIdText(DiscTOC::fromOffsets({150}, 300).cddbDiscId());
        ASSERT_TRUE(writeTestFile(m_work.filePath(u"db/%1/%2"_qs.arg(category, id)),
                                  u"DTITLE=Band / %1\nTTITLE0=Song\n"_qs.arg(album).toUtf8()));
    }
    // A new source folder of tracks (names starting with "." empty files), each longer than the one
    // before by longerEach. A sector of sound is enough: the fake encoder's input only has to read
    // as a track.
    QString makeCd(const QStringList& names, qint64 frames = 588, qint64 longerEach = 0)
    {
        const QString cd = m_work.path() + QStringLiteral("/cd%1").arg(++m_cds);
        QDir().mkpath(cd);
        for (const QString& name : names) {
            EXPECT_TRUE(name.startsWith(u'.') ? QFile(cd + u'/' + name).open(QIODevice::WriteOnly)
                                              : writeCDTrack(cd + u'/' + name, frames, true));
            frames += longerEach;
        }
        return cd;
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
        EXPECT_EQ(session.getptl(), s(""));
        EXPECT_EQ(session.getptf(), s(""));
        EXPECT_TRUE(session.trackJobs().empty());
        EXPECT_TRUE(session.isStartEnabled());
        EXPECT_FALSE(session.isStopEnabled() || session.isSkipEnabled());
        EXPECT_TRUE(session.isExpertTextFieldEnabled() && session.isNameStyleTextFieldEnabled());
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

// The listing of a folder, its lookup gated by open.
class DiscListingTest : public LAMEProcessTest {
protected:
    void SetUp() override
    {
        LAMEProcessTest::SetUp();
        listing.setDiscLookupFactory([this](LookupHost&) {
            ++lookups;
            return std::make_unique<SongsLookup>(albumTracks, &open);
        });
    }
    QString makeFolder(const QStringList& names)
    {
        return makeCd(names, 588 * 75 * 2, 588 * 75);
    } // 0:02, 0:03...
    bool lookupEnds()
    {
        return QTest::qWaitFor([&] { return !listing.isLookingUp() && listing.lengthsKnown(); }, 10000);
    }

    int albumTracks = 3;
    int lookups = 0;
    std::atomic<bool> open{true};
    DiscListing listing;
    TrackListModel model{listing, settings};
};

TEST_F(LAMEProcessTest, StatusLineFollowsTheTracksAndFailedTracksAreNamedOnceAtTheEnd)
{
    const QStringList names{s("1 Good 100%2.aiff"), s("2 Fail.aiff"), s("3 Crash.aiff"), s("4 Good.aiff")};
    settings.setChosenCDName(makeCd(names));
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    QStringList statusLines;
    QObject::connect(&session, &LAMEProcess::statusLineChanged,
                     [&](const QString& line) { statusLines << line; });
    LogCapture log;
    ASSERT_TRUE(ripToTheEnd());

    QStringList expected;
    for (int k = 1; k <= 4; ++k)
        expected << s("Processing: ") + names[k - 1].chopped(5) + QStringLiteral("     (%1 of 4)").arg(k);
    EXPECT_EQ(statusLines, expected << s(""));
    EXPECT_EQ(settings.getChosenOutputDirectory(), out());
    EXPECT_EQ(sound.plays, 1);
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].contains(s("2 Fail (02 -  Fail.mp3)")));
    EXPECT_TRUE(alerts.alerts[0].contains(s("3 Crash (03 -  Crash.mp3)")));
    EXPECT_FALSE(alerts.alerts[0].contains(s("Good")));
    EXPECT_EQ(log.lines().filter(s("was not encoded")).size(), 2);
    EXPECT_EQ(folderEntries(out() + s("/Artist/Title")),
              QStringList({s("01 -  Good 100%2.mp3"), s("04 -  Good.mp3")}));
    expectIdle();
}

TEST_F(LAMEProcessTest, NothingToRipStartsNothing)
{
    settings.setChosenCDName(makeCd({s(".DS_Store"), s(".TOC.plist")}));
    session.runEncoder();
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].startsWith(s("Nothing to rip")));
    EXPECT_FALSE(QFileInfo::exists(out()));
    expectIdle();
}

TEST_F(LAMEProcessTest, LookupAlbumIsTrimmedToTheChosenTracksOrReplaced)
{
    const QStringList chosen{s("2 Audio Track.aiff"), s("4 Audio Track.aiff")};
    settings.setChosenCDName(makeCd(chosen));
    settings.setChosenTracks(chosen);
    session.setDiscLookupFactory([](LookupHost&) { return std::make_unique<SongsLookup>(12); });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(folderEntries(out() + s("/Band - Record")),
              QStringList({s("02 - Song 2.mp3"), s("04 - Song 4.mp3")}));

    // The server's album lacks track 4: the file names are used instead, and the user is told.
    settings.setChosenTracks(chosen);
    session.setDiscLookupFactory([](LookupHost&) { return std::make_unique<SongsLookup>(3); });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(folderEntries(out() + s("/Artist - Title")),
              QStringList({s("02 -  Audio Track.mp3"), s("04 -  Audio Track.mp3")}));
    ASSERT_EQ(alerts.alerts.size(), 1);
    EXPECT_TRUE(alerts.alerts[0].contains(s("lists 1 of the 2 chosen tracks; using the track file names")));
}

// Without an editor the option is reported once per session object and the rip goes on.
TEST_F(LAMEProcessTest, SameNamesKeepEveryFileAndTheEditorIsOptional)
{
    settings.setChosenCDName(makeCd({s("1 A.aiff"), s("2 B.aiff"), s("3 C.aiff")}));
    settings.setText(Settings::Text::NameStyle, s("same.mp3"));
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::On);
    LogCapture log;
    ASSERT_TRUE(ripToTheEnd());
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(folderEntries(out() + s("/Artist - Title")),
              QStringList({s("same 2.mp3"), s("same 3.mp3"), s("same.mp3")}));
    EXPECT_EQ(folderEntries(out() + s("/Artist - Title 1")).size(), 3);
    EXPECT_EQ(log.lines().filter(s("no track information editor")).size(), 1);
}

// Two encoders: tracks start in order as one frees up, the line names those in progress and
// shows the longest estimate, the bar counts finished tracks, the sound plays once at the end.
TEST_F(LAMEProcessTest, SeveralEncodersRunTracksInOrder)
{
    settings.setEncoderJobs(2);
    settings.setChosenCDName(makeCd({s("1 Wait9.aiff"), s("2 Wait5.aiff"), s("3 Good.aiff")}));
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::On);
    settings.setText(Settings::Text::NameStyle, s("%t.mp3")); // track order is not name order
    QStringList lines;
    QStringList estimates;
    QObject::connect(&session, &LAMEProcess::statusLineChanged, [&](const QString& line) { lines << line; });
    QObject::connect(&session, &LAMEProcess::timeRemainingChanged,
                     [&](const QString& line) { estimates << line; });
    QList<int> finished;
    QObject::connect(&session, &LAMEProcess::progressChanged, [&](int done, int) { finished << done; });
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_EQ(lines, QStringList({s("Processing: 1 Wait9     (1 of 3)"),
                                  s("Processing: 2 Wait5     (2 of 3); 1 Wait9     (1 of 3)"),
                                  s("Processing: 3 Good     (3 of 3); 2 Wait5     (2 of 3)"),
                                  s("Processing: 2 Wait5     (2 of 3)"), s("")}));
    // Every run ends with "0:00": 0:05 outlasts the first run's end, the last run's end shows.
    EXPECT_EQ(estimates, QStringList({s("Est. Time Remaining: 0:09 \n"), s("Est. Time Remaining: 0:05 \n"),
                                      s("Est. Time Remaining: 0:00 \n"), s("")}));
    EXPECT_EQ(finished, QList<int>({0, 1, 2, 3}));
    EXPECT_EQ(sound.plays, 1);
    EXPECT_EQ(readTestFile(out() + s("/Artist - Title/00-Artist-Title.m3u")),
              QByteArray(" Wait9.mp3\n Wait5.mp3\n Good.mp3\n"));
}

// Skip ends the oldest run and the next track takes its place; closing the window stops them
// all, and the stopped session restores the output path.
TEST_F(LAMEProcessTest, SkipEndsTheOldestRunAndStopEndsThemAll)
{
    settings.setEncoderJobs(2);
    settings.setChosenCDName(makeCd({s("1 Wait0.aiff"), s("2 Wait0.aiff"), s("3 Wait0.aiff")}));
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    session.runEncoder();
    EXPECT_EQ(session.getptl(), s("Processing: 2 Wait0     (2 of 3); 1 Wait0     (1 of 3)"));
    EXPECT_FALSE(session.isStartEnabled() || session.isNameStyleTextFieldEnabled());
    const auto states = [this] {
        QList<TrackJob::State> all;
        for (const TrackJob& job : session.trackJobs())
            all << job.state;
        return all;
    };
    using State = TrackJob::State;
    EXPECT_EQ(states(), QList<State>({State::Running, State::Running, State::Waiting}));
    session.skipTrack();
    EXPECT_EQ(session.getptl(), s("Processing: 3 Wait0     (3 of 3); 2 Wait0     (2 of 3)"));
    EXPECT_EQ(states(), QList<State>({State::Skipped, State::Running, State::Running}));
    EXPECT_EQ(session.trackJobs()[2].track.getTrackNum(), 3);
    EXPECT_TRUE(session.windowShouldClose());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_TRUE(ended.at(0).at(0).toStringList().isEmpty());
    EXPECT_EQ(sound.plays, 0);
    // Skipped and stopped tracks leave no file, partial or whole.
    EXPECT_EQ(folderEntries(out() + s("/Artist/Title")), QStringList());
    EXPECT_EQ(settings.getChosenOutputDirectory(), out());
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
    expectIdle();
    session.stop(); // harmless while idle
    EXPECT_EQ(ended.count(), 1);
    // A disc's folder or a gvfs CD mount is read by one encoder at a time.
    EXPECT_TRUE(CDFolder::isCDSource(s("/run/user/1000/gvfs/cdda:host=sr0")));
    settings.setChosenCDName(makeCd({s(".TOC.plist"), s("1 Wait0.aiff"), s("2 Wait0.aiff")}));
    session.runEncoder();
    EXPECT_EQ(session.getptl(), s("Processing: 1 Wait0     (1 of 2)"));
    session.stop();
}

// The buttons and the status line are the window's test; here Stop must end the lookup itself, not
// only the window's view of it, and the session must go at once on quitting, though the server says
// nothing for far longer (30 s a step), leaving no late alert behind.
TEST_F(LAMEProcessTest, StopAndQuittingEndALookupAtOnceWithNothingMade)
{
    settings.setChosenCDName(tocCd());
    CddbServer server(m_work.filePath(u"db"_qs));
    server.fallSilentAt(u"cddb hello"_qs);
    ASSERT_TRUE(server.listen());
    auto session = std::make_unique<LAMEProcess>(settings);
    session->setAlertPresenter(&alerts);
    session->setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
    for (int started = 1; started <= 2; ++started) {
        session->runEncoder();
        EXPECT_TRUE(session->isLookingUp());
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.receivedLines().size() >= started; }, 60000));
        if (started == 1) {
            session->stop();
            EXPECT_FALSE(session->isLookingUp());
        }
    }
    QElapsedTimer quitting;
    quitting.start();
    EXPECT_TRUE(session->windowShouldClose());
    session.reset();
    EXPECT_LT(quitting.elapsed(), 10000);
    QTest::qWait(50); // anything the worker left queued would arrive now
    EXPECT_TRUE(alerts.alerts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(out()));
}

TEST_F(LAMEProcessTest, TheChooserIsAskedOnTheMainThreadAndTheChosenAlbumIsRipped)
{
    settings.setChosenCDName(tocCd());
    writeEntry(u"misc"_qs, u"First"_qs);
    writeEntry(u"rock"_qs, u"Second"_qs);
    CddbServer server(m_work.filePath(u"db"_qs));
    ASSERT_TRUE(server.listen());
    SecondChoice chooser;
    session.setAlbumChooser(&chooser);
    session.setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
    ASSERT_TRUE(ripToTheEnd());
    EXPECT_TRUE(chooser.onMainThread);
    EXPECT_TRUE(QFileInfo::exists(out() + u"/Band - Second/01 - Song.mp3"_qs));
    EXPECT_TRUE(alerts.alerts.isEmpty()) << alerts.alerts.join(u'\n').toStdString();
}

// What a lookup on its worker says reaches the host's own lookupProgress and lookupFailed, not
// only an alert made of it.
TEST(DiscLookupRunner, ProgressAndFailuresReachTheHost)
{
    RecordingHost host;
    LogCapture log;
    DiscLookupRunner runner(host);
    QSignalSpy finished(&runner, &DiscLookupRunner::finished);
    ASSERT_TRUE(runner.start([](LookupHost& worker) { return std::make_unique<RefusedLookup>(worker); }, {}));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(host.progress, QStringList{u"Asking the source…"_qs});
    ASSERT_EQ(host.failures.size(), 1);
    EXPECT_EQ(host.failures[0].what, u"It said no."_qs);
}

// The entry is far longer than any disc: each file still gets its own title.
TEST_F(DiscListingTest, TracksShowAtOnceTitlesWhenFoundAndTicksAreTheChosenTracks)
{
    albumTracks = 14500;
    open = false;
    const QStringList names{s("1 Audio Track.aiff"), s("2 Audio Track.aiff"), s("3 Audio Track.aiff")};
    const QString folder = makeFolder(names);
    settings.setChosenCDName(folder);
    listing.load(folder);
    // Before any answer: every track, its length, its file's name as title.
    ASSERT_EQ(model.rowCount(), 3);
    QSignalSpy lengths(&model, &TrackListModel::dataChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listing.lengthsKnown(); }, 10000));
    EXPECT_FALSE(lengths.isEmpty());
    EXPECT_TRUE(listing.isLookingUp());
    EXPECT_EQ(model.data(model.index(1, TrackListModel::LengthColumn)).toString(), s("0:03"));
    EXPECT_EQ(model.data(model.index(2, TrackListModel::TitleColumn)).toString(), s("3 Audio Track"));
    open = true;
    ASSERT_TRUE(lookupEnds());
    EXPECT_EQ(model.data(model.index(2, TrackListModel::TitleColumn)).toString(), s("Song 3"));
    EXPECT_EQ(listing.note(), s("Titles from CDDB: rock 1402ce03."));
    EXPECT_FALSE(model.showsTrackArtists());

    // Unticking is choosing the others; a choice made elsewhere ("Tracks…") ticks the list.
    EXPECT_TRUE(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(settings.chosenTracks(), QStringList({names[0], names[2]}));
    settings.setChosenTracks({names[1]});
    EXPECT_EQ(model.tickedCount(), 1);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    // None ticked leaves the settings' last choice alone: no "empty means every track".
    model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(model.tickedCount(), 0);
    EXPECT_EQ(settings.chosenTracks(), QStringList({names[1]}));
    EXPECT_TRUE(listing.noneChosen());

    // Edits in place; a rip of some tracks gets their titles in its order.
    model.setData(model.index(0, TrackListModel::ArtistColumn), s("Guest"));
    EXPECT_TRUE(model.showsTrackArtists());
    listing.setAlbumField(DiscListing::Field::Artist, s("Other Band"));
    const std::optional<Album> chosen = listing.albumForTracks({names[2], names[0]});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->getTracks()[0].getTitle(), s("Song 3"));
    EXPECT_EQ(chosen->getTracks()[0].getArtist(), s("Other Band")); // followed the album's artist
    EXPECT_EQ(chosen->getTracks()[1].getArtist(), s("Guest"));
    EXPECT_FALSE(listing.albumForTracks({s("4 Audio Track.aiff")}));

    // Listing the same folder again asks nobody; "Look up again" does.
    listing.load(folder);
    EXPECT_EQ(lookups, 1);
    listing.lookUpAgain();
    ASSERT_TRUE(lookupEnds());
    EXPECT_EQ(lookups, 2);
}

TEST_F(DiscListingTest, WhatCannotBeListedOrPairedIsSaid)
{
    albumTracks = 2;
    const QString folder = makeFolder({s("1 A.aiff"), s("2 B.aiff"), s("3 C.aiff")});
    listing.load(folder);
    ASSERT_TRUE(lookupEnds());
    EXPECT_EQ(listing.titles(), DiscListing::Titles::NotPaired);
    EXPECT_TRUE(listing.note().contains(s("lists 2 tracks, which do not fit the 3 tracks here")))
        << listing.note().toStdString();
    EXPECT_EQ(listing.album().getTracks()[2].getTitle(), s("3 C"));

    const QString empty = m_work.path() + s("/empty");
    QDir().mkpath(empty);
    listing.load(empty);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(listing.note().contains(s("is empty"))) << listing.note().toStdString();
    listing.load(m_work.path() + s("/gone"));
    EXPECT_TRUE(listing.note().contains(s("is not there"))) << listing.note().toStdString();
    EXPECT_EQ(lookups, 1);
}

// A real conversation refused at the greeting: the list says what happened and what to do,
// with the server's own words, in the window rather than in a box.
TEST_F(DiscListingTest, ARefusedGreetingPointsToTheEmailField)
{
    QTemporaryDir root;
    CddbServer server(root.path());
    server.answer(s("cddb hello"), "500 Unknown developer email for vesk v0.6.7\r\n");
    ASSERT_TRUE(server.listen());
    listing.setDiscLookupFactory(FreedbAccess::factory({}, server.port(), 5000));
    listing.setServerHost([] { return s("127.0.0.1"); });
    listing.load(makeFolder({s("1 A.aiff"), s("2 B.aiff")}));
    ASSERT_TRUE(lookupEnds());
    EXPECT_EQ(listing.titles(), DiscListing::Titles::FromFileNames);
    EXPECT_TRUE(listing.note().contains(s("E-mail field"))) << listing.note().toStdString();
    EXPECT_EQ(listing.note().count(s("500 Unknown developer email")), 1) << listing.note().toStdString();
    EXPECT_FALSE(listing.note().contains(s("Freedb")));
}

// A disc image is listed from its table of contents, titled by its CD-Text until (and unless)
// the servers know it, and looked up by its own identifiers.
TEST_F(DiscListingTest, AnImageIsListedWithItsCdText)
{
    ASSERT_TRUE(writeTestFile(m_work.filePath(s("disc.bin")), TestDiscImage::sound()));
    ASSERT_TRUE(writeTestFile(m_work.filePath(s("disc.cue")), TestDiscImage::cueSheet("disc.bin")));
    open = false;
    listing.load(m_work.filePath(s("disc.cue")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listing.isLookingUp(); }, 10000));
    ASSERT_EQ(model.rowCount(), 4); // the sound hidden before track 1 first, as track 0
    EXPECT_EQ(model.data(model.index(0, TrackListModel::NumberColumn)).toString(), s("0"));
    EXPECT_EQ(listing.album().getArtist(), s("Café Tacuba"));
    EXPECT_EQ(model.data(model.index(1, TrackListModel::TitleColumn)).toString(), s("Première"));
    EXPECT_EQ(model.data(model.index(2, TrackListModel::LengthColumn)).toString(), s("0:03")); // 220 sectors
    const std::optional<DiscTOC> toc = listing.discTOC();
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->trackOffsets().value(0), 150 + TestDiscImage::track1Start);
    open = true;
    ASSERT_TRUE(lookupEnds());
    EXPECT_EQ(model.data(model.index(0, TrackListModel::TitleColumn)).toString(), s("Hidden track"));
    EXPECT_EQ(model.data(model.index(1, TrackListModel::TitleColumn)).toString(), s("Song 1"));

    listing.load(m_work.filePath(s("missing.cue")));
    EXPECT_TRUE(listing.note().contains(s("is not there"))) << listing.note().toStdString();
}

// Start on the listed folder rips the list's titles without a second lookup; while the listing
// is still looking up, it waits for it, and Stop then ends both with nothing made.
TEST_F(DiscListingTest, StartRipsWhatTheListShows)
{
    const QString out = this->out();
    LAMEProcess session(settings);
    session.cdFinder().lookNowhere();
    session.setDiscListing(&listing);
    session.setDiscLookupFactory([this](LookupHost&) {
        ++lookups;
        return std::make_unique<SongsLookup>(albumTracks);
    });
    QStringList states;
    QObject::connect(&session, &LAMEProcess::trackJobChanged, [&](const TrackJob& job) {
        model.showJob(job);
        states << model.stateText(listing.rowOf(job.source->name()));
    });

    const QString folder = makeFolder({s("1 A.aiff"), s("2 B.aiff")});
    settings.setChosenCDName(folder);
    open = false;
    listing.load(folder);
    session.runEncoder();
    EXPECT_TRUE(session.isLookingUp());
    EXPECT_EQ(session.getptl(), s("Waiting for the disc's titles..."));
    session.stop();
    EXPECT_FALSE(listing.isLookingUp());
    EXPECT_TRUE(session.isStartEnabled());
    EXPECT_FALSE(QFileInfo::exists(out + s("/Band - Record")));

    open = true;
    listing.lookUpAgain();
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    session.runEncoder(); // waits for the listing
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 60000));
    EXPECT_EQ(folderEntries(out + s("/Band - Record")),
              QStringList({s("01 - Song 1.mp3"), s("02 - Song 2.mp3")}));
    EXPECT_EQ(states.filter(s("Encoding")).size(), states.size() - 2) << states.join(u',').toStdString();
    EXPECT_EQ(states.filter(s("Done")).size(), 2);

    listing.setTrackTitle(1, s("Typed: In/Place"));
    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 1; }, 60000));
    EXPECT_EQ(folderEntries(out + s("/Band - Record 1")),
              QStringList({s("01 - Song 1.mp3"), s("02 - Typed- In-Place.mp3")}));
    EXPECT_EQ(lookups, 2); // both the listing's: the rips asked nobody
}

// The whole rip's time left: the sound still to encode at the pace kept so far.
TEST(RipTimeEstimateTest, SoundLeftAtThePaceSoFar)
{
    struct Minute : TrackSource {
        QString name() const override { return s("t"); }
        qint64 sampleFrames() const override { return 60 * 44100; }
        QString filePath() const override { return s("t"); }
        std::unique_ptr<QIODevice> openSound() const override { return nullptr; }
        QString problem() const override { return QString(); }
    };
    std::vector<TrackJob> jobs(3);
    for (TrackJob& job : jobs)
        job.source = std::make_shared<Minute>();
    EXPECT_EQ(RipTimeEstimate::secondsLeft(jobs, 20000), -1); // nothing done yet
    jobs[0].state = TrackJob::State::Done;
    jobs[1].state = TrackJob::State::Running;
    jobs[1].estimate = EncoderEstimate{s("0:05"), 5, 50};
    // 90 s of sound in 30 s: three times real time; 90 s of sound left.
    EXPECT_EQ(RipTimeEstimate::secondsLeft(jobs, 30000), 30);
    jobs[2].state = TrackJob::State::Skipped;
    EXPECT_EQ(RipTimeEstimate::secondsLeft(jobs, 30000), 10);
    EXPECT_EQ(RipTimeEstimate::shown(3725), s("1:02:05"));
    EXPECT_EQ(RipTimeEstimate::shown(65), s("1:05"));
}
