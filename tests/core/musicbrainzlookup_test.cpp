// The MusicBrainz lookup against the stand-in service on loopback: the chooser, the busy
// service, and the answers that end in no album.
#include "common/log.h"
#include "lookup/musicbrainz/musicbrainzlookup.h"
#include "musicbrainzserver.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <gtest/gtest.h>
#include <thread>

namespace {
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
        {"server error", [this] { m_server.queueAnswer(500, "oops"); }, Kind::Refused, "500 Status"},
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
