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
        ASSERT_TRUE(writeFile(cd + QStringLiteral("/.TOC.plist"), tocPlist({150}, 300)));
        QFile(cd + QStringLiteral("/1 Audio Track.aiff")).open(QIODevice::WriteOnly);
        settings.setChosenCDName(cd);
        settings.setOutputDirectory(out() + QStringLiteral("/cd"));
        settings.setText(Settings::Text::FreedbServer, QStringLiteral("127.0.0.1"));
    }
    QString out() const { return m_work.filePath(QStringLiteral("music")); }
    void writeEntry(const QString& category, const QString& album)
    {
        const QString id = discIdText(DiscTOC::fromOffsets({150}, 300).cddbDiscId());
        ASSERT_TRUE(writeFile(m_work.filePath(QStringLiteral("db/%1/%2").arg(category, id)),
                              QStringLiteral("DTITLE=Band / %1\nTTITLE0=Song\n").arg(album).toUtf8()));
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    QTemporaryDir m_resources;
    RecordingAlerts alerts;
    Settings settings;
};
} // namespace

// Stop and the buttons are the window's test; here the session itself must go at once, though the
// server says nothing for far longer (30 s a step), and leave no late alert behind.
TEST_F(LookupSession, QuittingEndsALookupAtOnceWithNothingMade)
{
    CddbServer server(m_work.filePath(QStringLiteral("db")));
    server.fallSilentAt(QStringLiteral("cddb hello"));
    ASSERT_TRUE(server.listen());
    auto session = std::make_unique<LAMEProcess>(settings);
    session->setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
    session->runEncoder();
    EXPECT_TRUE(session->isLookingUp());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.receivedLines().isEmpty(); }, 60000));
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
