// The window during a lookup from a server that says nothing: it goes on painting, its status
// line says what happens, Stop ends the lookup with nothing made, and quitting does not wait.
#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "cddbserver.h"
#include "lookup/cddb/freedbaccess.h"
#include "rip/lameprocess.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
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

TEST(LookupWindow, PaintsAndStopsDuringALookupFromASilentServer)
{
    TestEnvironment env;
    const QString source = env.home() + u"/Audio CD"_qs;
    ASSERT_TRUE(writeTestFile(source + u"/.TOC.plist"_qs, oneSessionTocPlist({150}, 300)));
    QFile(source + u"/1 Audio Track.aiff"_qs).open(QIODevice::WriteOnly);
    CddbServer server(env.home());
    server.fallSilentAt(u"banner"_qs);
    ASSERT_TRUE(server.listen());

    Settings settings;
    AppController controller(settings);
    settings.setChosenCDName(source);
    settings.setOutputDirectory(env.home() + u"/out"_qs);
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
    EXPECT_FALSE(QFileInfo::exists(env.home() + u"/out"_qs));
}
