// The disc as the window lists it: tracks and lengths at once, titles from the background lookup,
// ticks shared with the settings, and a rip of the listed folder that takes the list's titles.
#include "cddbserver.h"
#include "common/resources.h"
#include "lookup/cddb/freedbaccess.h"
#include "rip/disclisting.h"
#include "rip/lameprocess.h"
#include "rip/riptimeestimate.h"
#include "rip/tracklistmodel.h"
#include "settings/settings.h"
#include "support/fakeencoder.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>

namespace {
class DiscListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        listing.setDiscLookupFactory([this](LookupHost&) {
            ++lookups;
            return std::make_unique<SongsLookup>(albumTracks, &open);
        });
    }
    QString makeFolder(const QStringList& names)
    {
        const QString folder = m_work.path() + QStringLiteral("/cd%1").arg(++m_folders);
        QDir().mkpath(folder);
        qint64 frames = 588 * 75 * 2; // 0:02, 0:03, ...
        for (const QString& name : names) {
            EXPECT_TRUE(writeCDTrack(folder + u'/' + name, frames, true));
            frames += 588 * 75;
        }
        return folder;
    }
    bool lookupEnds()
    {
        return QTest::qWaitFor([&] { return !listing.isLookingUp() && listing.lengthsKnown(); }, 10000);
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    int m_folders = 0;
    int albumTracks = 3;
    int lookups = 0;
    std::atomic<bool> open{true};
    Settings settings;
    DiscListing listing;
    TrackListModel model{listing, settings};
};
} // namespace

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

// Start on the listed folder rips the list's titles without a second lookup; while the listing
// is still looking up, it waits for it, and Stop then ends both with nothing made.
TEST_F(DiscListingTest, StartRipsWhatTheListShows)
{
    QTemporaryDir resources;
    ASSERT_TRUE(writeFakeEncoder(resources.path()));
    Resources::setResourceDirectory(resources.path());
    const QString out = m_work.path() + s("/music");
    QDir().mkpath(out);
    settings.setOutputDirectory(out);
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
