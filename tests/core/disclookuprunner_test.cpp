// The rip session with a lookup on its worker thread: the window's thread stays free, Stop and
// quitting end a lookup at once, and the chooser is asked on the main thread.
#include "cddbserver.h"
#include "common/resources.h"
#include "lookup/albumchooser.h"
#include "lookup/cddb/freedbaccess.h"
#include "lookup/disclookuprunner.h"
#include "lookup/lookupfailure.h"
#include "rip/lameprocess.h"
#include "settings/settings.h"
#include "support/fakeencoder.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {
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

class LookupSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeFakeEncoder(m_resources.path()));
        Resources::setResourceDirectory(m_resources.path());
        const QString cd = m_work.filePath(u"cd"_qs);
        ASSERT_TRUE(writeTestFile(cd + u"/.TOC.plist"_qs, oneSessionTocPlist({150}, 300)));
        ASSERT_TRUE(writeCDTrack(cd + u"/1 Audio Track.aiff"_qs, 588, true));
        settings.setChosenCDName(cd);
        settings.setOutputDirectory(out());
        settings.setText(Settings::Text::FreedbServer, u"127.0.0.1"_qs);
    }
    QString out() const { return m_work.filePath(u"music"_qs); }
    void writeEntry(const QString& category, const QString& album)
    {
        const QString id = discIdText(DiscTOC::fromOffsets({150}, 300).cddbDiscId());
        ASSERT_TRUE(writeTestFile(m_work.filePath(u"db/%1/%2"_qs.arg(category, id)),
                                  u"DTITLE=Band / %1\nTTITLE0=Song\n"_qs.arg(album).toUtf8()));
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    QTemporaryDir m_resources;
    RecordingAlerts alerts;
    Settings settings;
};
} // namespace

// The buttons and the status line are the window's test; here Stop must end the lookup itself, not
// only the window's view of it, and the session must go at once on quitting, though the server says
// nothing for far longer (30 s a step), leaving no late alert behind.
TEST_F(LookupSession, StopAndQuittingEndALookupAtOnceWithNothingMade)
{
    CddbServer server(m_work.filePath(u"db"_qs));
    server.fallSilentAt(u"cddb hello"_qs);
    ASSERT_TRUE(server.listen());
    auto session = std::make_unique<LAMEProcess>(settings);
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

TEST_F(LookupSession, TheChooserIsAskedOnTheMainThreadAndTheChosenAlbumIsRipped)
{
    writeEntry(u"misc"_qs, u"First"_qs);
    writeEntry(u"rock"_qs, u"Second"_qs);
    CddbServer server(m_work.filePath(u"db"_qs));
    ASSERT_TRUE(server.listen());
    LAMEProcess session(settings);
    session.setAlertPresenter(&alerts);
    session.cdFinder().lookNowhere();
    SecondChoice chooser;
    session.setAlbumChooser(&chooser);
    session.setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 120000));
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
