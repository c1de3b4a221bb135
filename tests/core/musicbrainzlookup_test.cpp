// The MusicBrainz lookup against the stand-in service on loopback: the request, the album, the
// chooser, and the answers that end in no album.
#include "common/log.h"
#include "lookup/lookuphost.h"
#include "musicbrainz/musicbrainzlookup.h"
#include "musicbrainzserver.h"
#include "support/qstringprinter.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace {
class RecordingHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        alerts.append(title + QStringLiteral(": ") + text);
    }
    int displayMultipleAlbumMatches(const QStringList& lines) override
    {
        offered = lines;
        return choice;
    }
    QStringList alerts;
    QStringList offered;
    int choice = 0;
};

class MusicBrainzLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/musicbrainz/discid-one-release.json"),
                        m_folder.filePath(QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-.json"))));
        ASSERT_TRUE(m_server.listen()) << m_server.errorString().toStdString();
    }
    // A lookup of the example disc (or of another disc with these offsets) at root.
    std::optional<Album> lookUp(const QString& root,
                                QList<qint64> offsets = {150, 15150, 33150, 54150, 66150})
    {
        MusicBrainzLookup lookup(host, DiscTOC::fromOffsets(offsets, 90150), root);
        lookup.lookupCDInformation(QStringLiteral("cddb.invalid"));
        return lookup.getAlbumInfo();
    }
    QTemporaryDir m_folder;
    MusicBrainzServer m_server{m_folder.path()};
    RecordingHost host;
    LogCapture log;
};
} // namespace

TEST_F(MusicBrainzLookupTest, AsksForTheDiscWithItsTableOfContentsAndNamesItself)
{
    const auto album = lookUp(m_server.rootUrl());
    ASSERT_TRUE(album);
    EXPECT_EQ(album->getTitle(), QStringLiteral("Example Album"));
    EXPECT_EQ(album->getTracks().at(2).getTitle(), QStringLiteral("Пятая-Fifth"));
    ASSERT_EQ(m_server.requests().size(), 1);
    const MusicBrainzServer::Request request = m_server.requests().first();
    EXPECT_EQ(request.target,
              "/ws/2/discid/gS6zk4Cm6ibbcetSKMEn_n_cXMU-?toc=1+5+90150+150+15150+33150+54150+66150"
              "&inc=recordings+artist-credits&fmt=json");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Vesk/\\d+(\\.\\d+)+ \\( \\S+ \\)$"))
                    .match(QString::fromLatin1(request.userAgent))
                    .hasMatch())
        << request.userAgent.toStdString();
    EXPECT_TRUE(host.alerts.isEmpty());
}

TEST_F(MusicBrainzLookupTest, EveryFailureEndsWithoutAnAlbumAndOnlyRealFailuresAlert)
{
    QTcpServer silent; // takes connections and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString silentRoot = QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort());
    const struct {
        const char* what;
        std::function<void()> arrange;
        QString root;
        QList<qint64> offsets;
        bool alert;
    } cases[] = {
        {"unknown disc (404)", [] {}, m_server.rootUrl(), {150, 15150, 33150, 54150, 66000}, false},
        {"broken body", [this] { m_server.queueBrokenBody(); }, m_server.rootUrl(), {}, true},
        {"server error", [this] { m_server.queueAnswer(500, "oops"); }, m_server.rootUrl(), {}, true},
        {"busy twice",
         [this] { m_server.queueAnswer(503), m_server.queueAnswer(503); },
         m_server.rootUrl(),
         {},
         true},
        {"HTML page",
         [this] { m_server.queueAnswer(200, "<html>Down for maintenance</html>"); },
         m_server.rootUrl(),
         {},
         true},
        {"nobody listening", [] {}, QStringLiteral("http://127.0.0.1:1"), {}, true},
    };
    for (const auto& c : cases) {
        host.alerts.clear();
        c.arrange();
        EXPECT_FALSE(c.offsets.isEmpty() ? lookUp(c.root) : lookUp(c.root, c.offsets)) << c.what;
        EXPECT_EQ(host.alerts.size(), c.alert ? 1 : 0)
            << c.what << " " << host.alerts.join(u'|').toStdString();
    }
    EXPECT_TRUE(
        log.contains(QStringLiteral("MusicBrainz: I couldn't find this CD in the MusicBrainz database.")));

    // No answer: the time-out ends the wait, or a cancel from another thread does, silently.
    MusicBrainzLookup lookup(host, DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150}, 90150),
                             silentRoot);
    lookup.setTimeout(500);
    host.alerts.clear();
    lookup.lookupCDInformation({});
    EXPECT_EQ(host.alerts.size(), 1);
    lookup.setTimeout(MusicBrainzLookup::defaultTimeout);
    QElapsedTimer clock;
    clock.start();
    std::thread canceller([&lookup] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        lookup.cancel();
    });
    lookup.lookupCDInformation({});
    canceller.join();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(host.alerts.size(), 1);
    EXPECT_FALSE(lookup.getAlbumInfo());
}

TEST_F(MusicBrainzLookupTest, ABusyServiceIsAskedOnceMoreAfterASecond)
{
    m_server.queueAnswer(503);
    EXPECT_TRUE(lookUp(m_server.rootUrl()));
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_GE(requests[1].msecs - requests[0].msecs, 900);
    EXPECT_TRUE(host.alerts.isEmpty());
}

TEST_F(MusicBrainzLookupTest, SeveralReleasesGoToTheChooser)
{
    QFile::remove(m_folder.filePath(QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-.json")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/musicbrainz/discid-two-releases.json"),
                            m_folder.filePath(QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-.json"))));
    host.choice = 1;
    const auto chosen = lookUp(m_server.rootUrl());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->getTitle(), QStringLiteral("Example Album (Deluxe)"));
    EXPECT_EQ(host.offered,
              QStringList({QStringLiteral("Example Ensemble / Example Album, 2019, XE"),
                           QStringLiteral("Example Ensemble / Example Album (Deluxe), 2020, GB, CD 2/2")}));
    host.choice = -1;
    EXPECT_FALSE(lookUp(m_server.rootUrl()));
    EXPECT_TRUE(host.alerts.isEmpty());
}
