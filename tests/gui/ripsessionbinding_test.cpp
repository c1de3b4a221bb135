#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "rip/lameprocess.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QDir>
#include <QProgressBar>
#include <gtest/gtest.h>

// The window bound to a session over real track files, long enough that the rip is still encoding
// the first one when the test acts. What a stopped rip leaves behind is the session's own test;
// Start, Stop and closing the window are the lookup window's test.
TEST(RipSessionBindingTest, SkipAndProgressFollowARealRip)
{
    TestEnvironment env;
    const QString source = env.home() + u"/Audio CD"_qs;
    const QString output = env.home() + u"/out"_qs;
    QDir().mkpath(source);
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(makeAiff(source + u"/%1 Audio Track.aiff"_qs.arg(i), 30.0, 300 + 100 * i));
    Settings settings;
    AppController controller(settings);
    settings.setChosenCDName(source);
    settings.setOutputDirectory(output);
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::Off);
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::Off);
    LAMEProcess session(settings);
    RipSessionBinding binding(controller, session);
    auto* bar = controller.window().findChild<QProgressBar*>(u"trackProgress"_qs);

    controller.startButton()->click();
    ASSERT_TRUE(session.isRunning());
    EXPECT_TRUE(controller.skipButton()->isEnabled());
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_EQ(bar->text(), u"0 of 3 tracks done"_qs);
    controller.skipButton()->click();
    EXPECT_EQ(bar->value(), 1);
    controller.stopButton()->click();
    EXPECT_FALSE(controller.skipButton()->isEnabled());
    EXPECT_FALSE(bar->isTextVisible());
}
