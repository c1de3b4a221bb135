// The rip session with a lookup on its worker thread: the window's thread stays free, Stop and
// quitting end a lookup at once, and the chooser is asked on the main thread.
#include "cddbserver.h"
#include "common/alertpresenter.h"
#include "common/resources.h"
#include "lookup/albumchooser.h"
#include "lookup/freedbaccess.h"
#include "rip/lameprocess.h"
#include "settings/settings.h"
#include "support/fakeencoder.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {
struct RecordingAlerts : AlertPresenter {
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        alerts << title + u'|' + text;
    }
    QStringList alerts;
};

struct SecondChoice : AlbumChooser {
    int displayMultipleAlbumMatches(const QStringList& lines) override
    {
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        return lines.size() > 1 ? 1 : 0;
    }
    bool onMainThread = false;
};

class LookupSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeFakeEncoder(m_resources.path()));
        Resources::setResourceDirectory(m_resources.path());
        settings.setAlertPresenter(&alerts);
        settings.setVolumeRoots({});
        const QString cd = m_work.filePath(QStringLiteral("cd"));
        QDir().mkpath(cd);
        QFile(cd + QStringLiteral("/1 Audio Track.aiff")).open(QIODevice::WriteOnly);
        QFile toc(cd + QStringLiteral("/.TOC.plist"));
        ASSERT_TRUE(toc.open(QIODevice::WriteOnly));
        toc.write("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Sessions</key><array><dict>"
                  "<key>Leadout Block</key><integer>300</integer><key>Track Array</key><array>"
                  "<dict><key>Start Block</key><integer>150</integer></dict></array></dict></array>"
                  "</dict></plist>");
        settings.setChosenCDName(cd);
        settings.setOutputDirectory(out() + QStringLiteral("/cd"));
        settings.setText(Settings::Text::FreedbServer, QStringLiteral("127.0.0.1"));
    }
    QString out() const { return m_work.filePath(QStringLiteral("music")); }
    void writeEntry(const QString& category, const QString& album)
    {
        const QString id =
            QStringLiteral("%1").arg(DiscTOC::fromOffsets({150}, 300).cddbDiscId(), 8, 16, QLatin1Char('0'));
        QDir(m_work.path()).mkpath(QStringLiteral("db/") + category);
        QFile file(m_work.filePath(QStringLiteral("db/%1/%2").arg(category, id)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("DTITLE=Band / %1\nTTITLE0=Song\n").arg(album).toUtf8());
    }
    // Starts a rip whose lookup stays in the server's silence until it is ended.
    void startSilentLookup(LAMEProcess& session, CddbServer& server)
    {
        session.setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
        const int before = server.receivedLines().size();
        session.runEncoder();
        EXPECT_TRUE(
            settings.getptl().startsWith(QStringLiteral("Looking up the disc's titles on 127.0.0.1")));
        EXPECT_TRUE(session.isRunning() && session.isStopEnabled() && !session.isStartEnabled());
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.receivedLines().size() > before; }, 60000));
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    QTemporaryDir m_resources;
    RecordingAlerts alerts;
    Settings settings;
};
} // namespace

TEST_F(LookupSession, StopAndQuittingEndALookupAtOnceWithNothingMade)
{
    CddbServer server(m_work.filePath(QStringLiteral("db")));
    server.fallSilentAt(QStringLiteral("cddb hello"));
    ASSERT_TRUE(server.listen());
    auto session = std::make_unique<LAMEProcess>(settings);
    QSignalSpy abandoned(session.get(), &LAMEProcess::sessionAbandoned);
    startSilentLookup(*session, server);
    session->stop();
    EXPECT_EQ(abandoned.count(), 1);
    EXPECT_TRUE(session->isStartEnabled() && !session->isRunning() && !session->isLookingUp());

    // Quitting: the window closes and the session goes at once, though the server says nothing
    // for far longer (30 s a step).
    startSilentLookup(*session, server);
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
    writeEntry(QStringLiteral("misc"), QStringLiteral("First"));
    writeEntry(QStringLiteral("rock"), QStringLiteral("Second"));
    CddbServer server(m_work.filePath(QStringLiteral("db")));
    ASSERT_TRUE(server.listen());
    LAMEProcess session(settings);
    SecondChoice chooser;
    session.setAlbumChooser(&chooser);
    session.setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 120000));
    EXPECT_TRUE(chooser.onMainThread);
    EXPECT_TRUE(QFileInfo::exists(out() + QStringLiteral("/Band - Second/01 - Song.mp3")));
    EXPECT_TRUE(alerts.alerts.isEmpty()) << alerts.alerts.join(u'\n').toStdString();
}
