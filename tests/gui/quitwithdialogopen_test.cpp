// Quitting (closing the main window, as the Quit command and the signals do) while the rip waits
// for the user in the track editor: nothing is made, the preferences are saved and the
// application is left without a window that keeps it alive.
#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "app/preferences.h"
#include "editor/gui/trackinfo.h"
#include "editor/gui/trackwindowcontroller.h"
#include "rip/lameprocess.h"
#include "settings/settings.h"
#include "support/qstringprinter.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(QuitWithDialogOpen, NothingIsMadeAndThePreferencesAreSaved)
{
    TestEnvironment env;
    const QString cd = env.home() + u"/cd"_qs;
    const QString out = env.home() + u"/out"_qs;
    ASSERT_TRUE(QDir().mkpath(cd) && QDir().mkpath(out));
    ASSERT_TRUE(makeAiff(cd + u"/1 Audio Track.aiff"_qs, 0.5));
    Settings settings;
    AppController controller(settings);
    settings.setVolumeRoots({});
    settings.setChosenCDName(cd);
    settings.setOutputDirectory(out + u"/cd"_qs);
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::On);
    LAMEProcess session(settings);
    TrackInfo editor(&controller.window());
    session.setTrackEditor(&editor);
    RipSessionBinding binding(controller, session);
    controller.show();

    TrackWindowController* dialog = editor.trackWindowController();
    QTimer::singleShot(0, dialog, [&] {
        EXPECT_TRUE(dialog->isVisible());
        controller.window().close();
        QTimer::singleShot(30000, dialog, [&] {
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the editor outlived the main window";
                dialog->reject();
            }
        });
    });
    controller.startButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(session.isRunning());
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    EXPECT_TRUE(QFileInfo::exists(Preferences::preferencesPath()));
}
