// MusicBrainz: the disc identifier, the albums read from the web service's JSON replies, and the
// lookup against the stand-in service on loopback (the chooser, the busy service, the answers that
// end in no album).
#include "common/log.h"
#include "lookup/musicbrainz/musicbrainzdiscid.h"
#include "lookup/musicbrainz/musicbrainzlookup.h"
#include "lookup/musicbrainz/musicbrainzreleasereader.h"
#include "musicbrainzserver.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <gtest/gtest.h>
#include <thread>

namespace {
const QString kExampleId = QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-");

QByteArray shared(const char* name)
{
    return readTestFile(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/musicbrainz/") + QLatin1String(name));
}

QStringList trackTexts(const Album& album)
{
    QStringList texts;
    for (const Track& track : album.getTracks())
        texts.append(
            QStringLiteral("%1 %2 / %3").arg(track.getTrackNum()).arg(track.getArtist(), track.getTitle()));
    return texts;
}

class MusicBrainzLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(
            QStringLiteral(VESK_SHARED_TESTDATA_DIR "/musicbrainz/discid-one-release.json"), m_reply));
        ASSERT_TRUE(m_server.listen()) << m_server.errorString().toStdString();
        m_lookup.emplace(host, DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150}, 90150),
                         m_server.rootUrl());
    }
    std::optional<Album> lookUp()
    {
        m_lookup->lookupCDInformation(QStringLiteral("cddb.invalid"));
        return m_lookup->getAlbumInfo();
    }
    // How long a lookup takes that another thread cancels after cancelAfter milliseconds; it
    // finds nothing.
    qint64 cancelledLookUp(int cancelAfter)
    {
        QElapsedTimer clock;
        clock.start();
        std::thread canceller([this, cancelAfter] {
            std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfter));
            m_lookup->cancel();
        });
        EXPECT_FALSE(lookUp());
        canceller.join();
        return clock.elapsed();
    }
    QTemporaryDir m_folder;
    const QString m_reply = m_folder.filePath(QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-.json"));
    MusicBrainzServer m_server{m_folder.path()};
    RecordingHost host;
    std::optional<MusicBrainzLookup> m_lookup;
    LogCapture log;
};
} // namespace

TEST(MusicBrainzDiscId, ComputedByLibdiscidFromTheTableOfContents)
{
    const auto service = MusicBrainzDiscId::fromTOC(
        DiscTOC::fromOffsets({150, 6614, 32287, 54041, 61236, 88129, 92729, 115276, 153877}, 189343));
    ASSERT_TRUE(service);
    EXPECT_EQ(service->id(), QStringLiteral("IeldkVfIh1wep_M8CMuDvA0nQ7Q-"));
    const auto example =
        MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150}, 90150));
    ASSERT_TRUE(example);
    EXPECT_EQ(example->id(), kExampleId);
    // An enhanced CD: the data track of the second session is not part of the audio disc.
    const auto enhanced = MusicBrainzDiscId::fromTOC(
        DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150, 90150 + 11400}, 120000, 2));
    ASSERT_TRUE(enhanced);
    EXPECT_EQ(enhanced->id(), kExampleId);
    EXPECT_EQ(enhanced->trackCount(), 5);

    EXPECT_FALSE(MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({}, 90150)));
    EXPECT_FALSE(MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({150, 15150, 15000}, 90150)));
    EXPECT_FALSE(MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({150, 95000}, 90150)));
}

TEST(MusicBrainzReleaseReader, OneReleaseGivesTheAlbumWithItsNamesAsTheServiceWritesThem)
{
    const auto matches =
        MusicBrainzReleaseReader::readMatches(shared("discid-one-release.json"), kExampleId, 5);
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->size(), 1);
    const Album& album = matches->first().album;
    EXPECT_EQ(album.getArtist(), QStringLiteral("Example Ensemble"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Example Album"));
    EXPECT_EQ(album.getYear(), QStringLiteral("2019"));
    EXPECT_EQ(trackTexts(album),
              QStringList({QStringLiteral("1 Example Ensemble / Morning Light"),
                           QStringLiteral("2 Example Ensemble & Guest Singer / Sur le pont"),
                           QStringLiteral("3 Example Ensemble / Пятая/Fifth"),
                           QStringLiteral("4 Example Ensemble / Interlude"),
                           QStringLiteral("5 Example Ensemble / Closing: Night")}));
    AlbumOrigin origin = AlbumOrigin::musicBrainz(u"8c0e5a52-0000-4000-8000-000000000001"_qs, u"XE"_qs);
    origin.albumArtistId = u"5b11f4ce-a62d-471e-81fc-a69a8278c7da"_qs;
    origin.date = u"2019-04-12"_qs;
    origin.musicBrainzDiscId = kExampleId;
    // Asked without release groups and labels, and with no cover at the archive.
    EXPECT_EQ(album.getOrigin(), origin);
    EXPECT_TRUE(album.getDiscNumber().isNull()); // one medium: no number in a set
}

// An id the tags or the cover's address would carry is taken only in MusicBrainz's form, and a
// credit with an artist of no id gives no ids rather than some; the titles stay all the same.
TEST(MusicBrainzReleaseReader, IdsThatAreNotMusicBrainzIdsAreLeftOut)
{
    const QByteArray reply =
        readTestFile(QStringLiteral(VESK_TEST_DATA_DIR "/musicbrainz/discid-release-facts.json"))
            .replace("6f2a9c1e-0000-4000-9000-000000000010", "../../etc/passwd")
            .replace("\"2021-06-04\"", "\"2021-6-4\"")
            .replace("\"front\": true", "\"front\": \"yes\"")
            .replace("b000-000000000011", "b000-00000000001Z")
            .replace("b000-000000000012", "B000-00000000001A")
            .replace("\"89ad4ac3-39f7-470e-963a-56509c546377\"", "\"guest\"");
    const auto matches = MusicBrainzReleaseReader::readMatches(reply, kExampleId, 5);
    ASSERT_TRUE(matches && matches->size() == 1);
    const Album& album = matches->first().album;
    AlbumOrigin origin = AlbumOrigin::musicBrainz(u"8c0e5a52-0000-4000-8000-000000000010"_qs, u"GB"_qs);
    std::tie(origin.label, origin.catalogNumber, origin.musicBrainzDiscId) =
        std::tuple(u"Example Records"_qs, u"EXR-0042"_qs, kExampleId);
    EXPECT_EQ(album.getOrigin(), origin);
    EXPECT_EQ(album.getTracks()[0], Track::trackWithArtist(album.getArtist(), u"Morning Light"_qs, 1));
    // The service's spelling is lower case.
    EXPECT_EQ(album.getTracks()[1].getRecordingId(), u"00000000-0000-4000-b000-00000000001a"_qs);
}

// A disc that is one medium of several carries its place in the set, from the medium's own
// position, else from its place in the release's list.
TEST(MusicBrainzReleaseReader, AMediumOfSeveralGivesTheDiscNumber)
{
    const QByteArray two = shared("discid-two-releases.json");
    const auto matches = MusicBrainzReleaseReader::readMatches(two, kExampleId, 5);
    ASSERT_TRUE(matches && matches->size() == 2);
    EXPECT_TRUE(matches->at(0).album.getDiscNumber().isNull());
    EXPECT_EQ(matches->at(1).album.getDiscNumber(), u"2/2"_qs);
    EXPECT_TRUE(matches->at(1).line.endsWith(u", CD 2/2)"_qs)) << matches->at(1).line.toStdString();

    QJsonObject release = QJsonDocument::fromJson(two).object()[u"releases"_qs].toArray()[1].toObject();
    // Listed out of order: the stated positions count.
    const QJsonArray listed = release[u"media"_qs].toArray();
    QJsonArray media{listed[1], listed[0], QJsonObject{{u"position"_qs, 3}, {u"track-count"_qs, 9}}};
    release[u"media"_qs] = media;
    EXPECT_EQ(MusicBrainzReleaseReader::readRelease(release, kExampleId, 5)->album.getDiscNumber(),
              u"2/3"_qs);
    for (const QJsonValue& bad : {QJsonValue(0), QJsonValue(7), QJsonValue(1.5), QJsonValue(u"2"_qs)}) {
        QJsonObject medium = media[0].toObject();
        medium[u"position"_qs] = bad;
        media[0] = medium;
        release[u"media"_qs] = media;
        EXPECT_EQ(MusicBrainzReleaseReader::readRelease(release, kExampleId, 5)->album.getDiscNumber(),
                  u"1/3"_qs);
    }

    // Without a medium listing the disc, the first with its track count is taken.
    const auto other = MusicBrainzReleaseReader::readMatches(two, QStringLiteral("other"), 1);
    ASSERT_TRUE(other && other->size() == 1);
    EXPECT_EQ(trackTexts(other->first().album),
              QStringList{QStringLiteral("1 Example Ensemble / Bonus Intro")});
}

TEST(MusicBrainzReleaseReader, ABadReplyGivesNoAlbumAtAll)
{
    const QByteArray good = shared("discid-one-release.json");
    const auto edited = [&good](const char* from, const char* to) {
        return QByteArray(good).replace(from, to);
    };
    const struct {
        const char* what;
        QByteArray reply;
        qint32 tracks;
    } cases[] = {
        {"not JSON", "releases: none", 5},
        {"HTML", "<html><body><h1>502 Bad Gateway</h1></body></html>", 5},
        {"cut off", good.left(good.size() / 2), 5},
        {"no release list", shared("not-found.json"), 5},
        {"a list of its own", "[" + good + "]", 5},
        {"no media", edited("\"media\"", "\"mediums\""), 5},
        {"no tracks", edited("\"tracks\"", "\"trax\""), 5},
        {"fewer tracks than the disc", good, 6},
        {"no release title", edited("\"title\": \"Example Album\"", "\"title\": null"), 5},
        {"a credit without a name",
         edited("\"name\": \"Guest Singer\",\n         \"joinphrase\"", "\"joinphrase\""), 5},
        {"a blank track title", edited("\"title\": \"Interlude\"", "\"title\": \" \\n \""), 5},
        {"two tracks in one place", edited("\"position\": 4", "\"position\": 2"), 5},
        {"several megabytes", edited("\"releases\"", QByteArray(3 * 1024 * 1024, ' ') + "\"releases\""), 5},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(MusicBrainzReleaseReader::readMatches(c.reply, kExampleId, c.tracks)) << c.what;

    // A reply that lists no release at all is an answer: the disc is not known.
    const auto none = MusicBrainzReleaseReader::readMatches("{\"releases\": []}", kExampleId, 5);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isEmpty());
}

TEST_F(MusicBrainzLookupTest, EveryFailureEndsWithoutAnAlbumInWordsNamingMusicBrainz)
{
    QTcpServer silent; // takes connections and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const auto lookUpAt = [this](const QString& root) {
        m_lookup.emplace(host, DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150}, 90150), root);
        m_lookup->setTimeout(500);
    };
    using Kind = VeskException::Kind;
    const struct {
        const char* what;
        std::function<void()> arrange;
        Kind kind;
        const char* said = "";
    } cases[] = {
        {"broken body", [this] { m_server.queueBrokenBody(); }, Kind::BadReply},
        {"server error", [this] { m_server.queueAnswer(500, "oops"); }, Kind::Refused, "500 Internal Server Error"},
        {"busy twice", [this] { m_server.queueAnswer(503), m_server.queueAnswer(503); }, Kind::Refused,
         "503 Service Unavailable"},
        {"HTML page", [this] { m_server.queueAnswer(200, "<html>Down for maintenance</html>"); },
         Kind::BadReply},
        {"unknown disc (404)", [this] { QFile::remove(m_reply); }, Kind::NotFound},
        {"nobody listening", [&] { lookUpAt(QStringLiteral("http://127.0.0.1:1")); }, Kind::Network},
        {"no answer in time",
         [&] { lookUpAt(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort())); }, Kind::Network},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host.clear();
        LogCapture caseLog;
        c.arrange();
        EXPECT_FALSE(lookUp());
        // One line each in the log, whether or not the user is told.
        EXPECT_EQ(caseLog.lines().filter(QStringLiteral("Lookup at MusicBrainz: ")).size(), 1)
            << caseLog.lines().join(u'\n').toStdString();
        const bool shown = c.kind != Kind::NotFound;
        ASSERT_EQ(host.failures.size(), shown ? 1 : 0);
        if (!shown)
            continue;
        const LookupFailure& failure = host.failures.first();
        EXPECT_EQ(failure.kind, c.kind);
        EXPECT_EQ(failure.serverSaid, QString::fromLatin1(c.said));
        // MusicBrainz is named, never the CDDB server.
        const QString words = failure.title() + failure.text();
        EXPECT_TRUE(words.contains(QStringLiteral("MusicBrainz")) && !words.contains(QStringLiteral("CDDB")))
            << words.toStdString();
    }

    // A cancel from another thread ends the wait for an answer at once, silently.
    m_lookup->setTimeout(MusicBrainzLookup::defaultTimeout);
    host.clear();
    EXPECT_LT(cancelledLookUp(200), 20000);
    EXPECT_TRUE(host.alerts.isEmpty());
}

// A busy service is asked once more; every request keeps a second from the one before, and a
// cancel while waiting for the next turn ends the lookup at once with nothing more asked.
TEST_F(MusicBrainzLookupTest, RequestsKeepTheirPaceAndACancelEndsTheWaitForATurn)
{
    m_server.queueAnswer(503);
    EXPECT_TRUE(lookUp());
    EXPECT_TRUE(lookUp());
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 3);
    for (int i = 1; i < 3; ++i)
        EXPECT_GE(requests[i].msecs - requests[i - 1].msecs, 900) << i;
    EXPECT_LT(cancelledLookUp(50), 700);
    EXPECT_EQ(m_server.requests().size(), 3);
    EXPECT_TRUE(host.alerts.isEmpty());
}

TEST_F(MusicBrainzLookupTest, SeveralReleasesGoToTheChooser)
{
    QFile::remove(m_reply);
    ASSERT_TRUE(QFile::copy(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/musicbrainz/discid-two-releases.json"),
                            m_reply));
    host.choice = 1;
    const auto chosen = lookUp();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->getTitle(), QStringLiteral("Example Album (Deluxe)"));
    ASSERT_EQ(host.offered.size(), 1);
    EXPECT_EQ(host.offered[0],
              QStringList({QStringLiteral("Example Ensemble – Example Album (2019, XE)"),
                           QStringLiteral("Example Ensemble – Example Album (Deluxe) (2020, GB, CD 2/2)")}));
    EXPECT_EQ(chosen->getOrigin().country, QStringLiteral("GB"));
    EXPECT_EQ(host.progress, QStringList{QStringLiteral("Asking MusicBrainz…")});
    // None of these is no failure to show.
    host.choice = -1;
    EXPECT_FALSE(lookUp());
    EXPECT_TRUE(host.failures.isEmpty() && host.alerts.isEmpty());
}

// The release's ids and facts beyond its titles, asked for with the titles: the release group,
// the credited artists, the label and catalogue number (from different entries), the date, the
// disc looked up and whether the archive has a front cover; each track's recording and artists.
TEST_F(MusicBrainzLookupTest, TheReleaseIdsAndFactsComeWithTheTitles)
{
    QFile::remove(m_reply);
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(VESK_TEST_DATA_DIR "/musicbrainz/discid-release-facts.json"), m_reply));
    const auto album = lookUp();
    ASSERT_TRUE(album);
    EXPECT_TRUE(
        m_server.requests().last().target.contains("inc=recordings+artist-credits+release-groups+labels&"));

    AlbumOrigin origin = AlbumOrigin::musicBrainz(u"8c0e5a52-0000-4000-8000-000000000010"_qs, u"GB"_qs);
    const QString bothArtists =
        u"5b11f4ce-a62d-471e-81fc-a69a8278c7da/89ad4ac3-39f7-470e-963a-56509c546377"_qs;
    std::tie(origin.releaseGroupId, origin.albumArtistId, origin.date, origin.label, origin.catalogNumber,
             origin.musicBrainzDiscId, origin.hasFrontCover) =
        std::tuple(u"6f2a9c1e-0000-4000-9000-000000000010"_qs, bothArtists, u"2021-06-04"_qs,
                   u"Example Records"_qs, u"EXR-0042"_qs, kExampleId, true);
    EXPECT_EQ(album->getOrigin(), origin);
    ASSERT_EQ(album->getTracks().size(), 5);
    for (qsizetype i = 0; i < 5; ++i)
        EXPECT_EQ(album->getTracks()[i].getRecordingId(),
                  QStringLiteral("00000000-0000-4000-b000-00000000001%1").arg(i + 1));
    EXPECT_EQ(album->getTracks()[0].getArtistId(), bothArtists);
    EXPECT_EQ(album->getTracks()[1].getArtistId(), u"89ad4ac3-39f7-470e-963a-56509c546377"_qs);
}
