// The vesk desktop application: one main window, its settings and the rip session behind it.

#include "app/gui/appcontroller.h"
#include "app/gui/desktopsoundplayer.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "common/unixsignalquitter.h"
#include "editor/gui/trackinfo.h"
#include "lookup/gui/freedbalbummatchescontroller.h"
#include "rip/lameprocess.h"
#include "rip/titlesources.h"
#include "settings/settings.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vesk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vesk"));
    QApplication::setOrganizationDomain(QStringLiteral("vesk.org"));
    QApplication::setDesktopFileName(QStringLiteral("org.vesk.Vesk"));

    Settings settings;
    AppController controller(settings);
    DesktopSoundPlayer sound;
    LAMEProcess session(settings);
    session.setSoundPlayer(&sound);
    session.setAlertPresenter(&controller);
    session.setDiscLookupFactory(TitleSources::forSettings(settings));
    // The editor asks the encoder for its genre list as soon as it exists.
    TrackInfo trackInfo(&controller.window());
    session.setTrackEditor(&trackInfo);
    FreedbAlbumMatchesController matchesController(&controller.window());
    session.setAlbumChooser(&matchesController);
    RipSessionBinding binding(controller, session);

    // A logout or a terminal's Ctrl+C ends the application as closing the window does, without
    // asking: nobody may be there to answer.
    UnixSignalQuitter quitter([&controller](int) { controller.quitWithoutAsking(); });

    controller.show();
    // Closing the main window ends the application; the controller asks before stopping a
    // running rip and saves the preferences on the way.
    return app.exec();
}
