#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "cddbserver.h"
#include "lookup/cddb/freedbaccess.h"
#include "rip/lameprocess.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};
} // namespace

// The window bound to a session over real track files, long enough that the rip is still encoding
// when the test acts (what a stopped rip leaves behind is the session's own test), and during a
// lookup from a server that says nothing.
class RipSessionBindingTest : public ::testing::Test {
protected:
    // The first track is short, so that it is done while the others still encode.
    void makeDisc(int tracks)
    {
        QDir().mkpath(source);
        for (int i = 1; i <= tracks; ++i)
            ASSERT_TRUE(
                makeAiff(source + u"/%1 Audio Track.aiff"_qs.arg(i), i == 1 ? 0.5 : 30.0, 300 + 100 * i));
        settings.setChosenCDName(source);
        settings.setOutputDirectory(output);
        settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::Off);
        settings.setCheckState(Settings::Option::EditTrackInformation, Settings::Off);
        settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::Off);
    }
    QString note() { return controller.window().findChild<QLabel*>(u"outputFolderNote"_qs)->text(); }

    TestEnvironment env;
    const QString source = env.home() + u"/Audio CD"_qs;
    const QString output = env.home() + u"/out"_qs;
    const QString album = output + u"/Artist - Title"_qs;
    Settings settings;
    AppController controller{settings};
};

TEST_F(RipSessionBindingTest, SkipProgressAndWhereTheAlbumGoesFollowARealRip)
{
    makeDisc(3);
    LAMEProcess session(settings);
    RipSessionBinding binding(controller, session);
    auto* bar = controller.window().findChild<QProgressBar*>(u"trackProgress"_qs);
    EXPECT_TRUE(note().startsWith(u"Albums go into "_qs + output)) << note().toStdString();

    controller.startButton()->click();
    ASSERT_TRUE(session.isRunning());
    EXPECT_EQ(note(), u"This album goes to "_qs + album + u'.');
    settings.setOutputDirectory(env.home() + u"/next"_qs);
    EXPECT_TRUE(note().contains(u"The next albums go into "_qs + env.home() + u"/next"_qs))
        << note().toStdString();
    settings.setOutputDirectory(output);
    EXPECT_TRUE(controller.skipButton()->isEnabled());
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_EQ(bar->text(), u"0 of 3 tracks done"_qs);
    controller.skipButton()->click();
    EXPECT_GE(bar->value(), 1);
    controller.stopButton()->click();
    EXPECT_FALSE(controller.skipButton()->isEnabled());
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_TRUE(note().contains(u"The last album went to "_qs + album)) << note().toStdString();
    // Another output folder: the note no longer speaks of the old album.
    settings.setOutputDirectory(env.home() + u"/next"_qs);
    EXPECT_FALSE(note().contains(album)) << note().toStdString();
}

// Closing the window during a rip asks; Cancel goes on ripping, "Stop and quit" stops the rip
// (the finished track stays), saves the preferences and closes.
TEST_F(RipSessionBindingTest, ClosingDuringARipAsksFirst)
{
    makeDisc(3);
    settings.setEncoderJobs(1);
    LAMEProcess session(settings);
    RipSessionBinding binding(controller, session);
    controller.show();
    const auto question = [&] { return controller.window().findChild<QMessageBox*>(u"quitWhileRipping"_qs); };
    const auto answer = [&](const QString& text) {
        QMessageBox* box = question();
        ASSERT_TRUE(box && box->isVisible());
        EXPECT_EQ(box->text(), u"A rip is running. Stop it and quit?"_qs);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text)
                return button->click();
        ADD_FAILURE() << "no button " << text.toStdString();
    };

    controller.startButton()->click();
    auto* bar = controller.window().findChild<QProgressBar*>(u"trackProgress"_qs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() >= 1; }, 60000));
    ASSERT_TRUE(session.isRunning());

    EXPECT_FALSE(controller.window().close());
    answer(u"Cancel"_qs);
    QTest::qWait(50);
    EXPECT_TRUE(session.isRunning() && controller.window().isVisible());
    EXPECT_FALSE(QFileInfo::exists(Preferences::preferencesPath()));

    EXPECT_FALSE(controller.window().close());
    controller.window().close(); // asked twice: still one question
    EXPECT_EQ(controller.window().findChildren<QMessageBox*>().size(), 1);
    answer(u"Stop and quit"_qs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.window().isVisible(); }, 10000));
    EXPECT_FALSE(session.isRunning());
    EXPECT_TRUE(QFileInfo::exists(Preferences::preferencesPath()));
    EXPECT_EQ(QDir(album).entryList({u"*.mp3"_qs}, QDir::Files), QStringList{u"01 -  Audio Track.mp3"_qs});
}

// During the lookup the window goes on painting, its status line says what happens, Stop ends the
// lookup with nothing made, and quitting does not wait.
TEST_F(RipSessionBindingTest, PaintsAndStopsDuringALookupFromASilentServer)
{
    ASSERT_TRUE(writeTestFile(source + u"/.TOC.plist"_qs, oneSessionTocPlist({150}, 300)));
    QFile(source + u"/1 Audio Track.aiff"_qs).open(QIODevice::WriteOnly);
    CddbServer server(env.home());
    server.fallSilentAt(u"banner"_qs);
    ASSERT_TRUE(server.listen());

    settings.setChosenCDName(source);
    settings.setOutputDirectory(output);
    settings.setText(Settings::Text::FreedbServer, server.address());
    LAMEProcess session(settings);
    session.setDiscLookupFactory(FreedbAccess::factory({}, server.port()));
    RipSessionBinding binding(controller, session);
    controller.show();
    PaintCounter counter;
    controller.window().installEventFilter(&counter);
    auto* status = controller.window().findChild<QLabel*>(u"ptl"_qs);
    ASSERT_TRUE(status);

    for (const bool quit : {false, true}) {
        controller.startButton()->click();
        EXPECT_TRUE(status->text().startsWith(u"Looking up the disc's titles"_qs));
        EXPECT_TRUE(controller.stopButton()->isEnabled() && !controller.startButton()->isEnabled());
        const int before = counter.paints;
        controller.window().update();
        EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > before; }, 10000));
        QElapsedTimer stopping;
        stopping.start();
        // A signal quits without the question the window asks when closed during a rip.
        if (quit)
            controller.quitWithoutAsking();
        else
            controller.stopButton()->click();
        EXPECT_LT(stopping.elapsed(), 5000);
        EXPECT_TRUE(status->text().isEmpty());
        EXPECT_TRUE(controller.startButton()->isEnabled() && !controller.stopButton()->isEnabled());
    }
    EXPECT_FALSE(controller.window().isVisible());
    EXPECT_FALSE(QFileInfo::exists(output));
}
