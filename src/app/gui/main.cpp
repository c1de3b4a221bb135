// The vesk desktop application: one main window, its settings and the rip session behind it.

#include "app/gui/appcontroller.h"
#include "app/gui/desktopsoundplayer.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "app/gui/unixsignalquitter.h"
#include "app/settings.h"
#include "lookup/disclookup.h"
#include "rip/lameprocess.h"

#include <QApplication>

namespace {
// HOOK (lookup): returns the CDDB lookup for each rip. Until the lookup is connected the factory
// is empty and every rip uses the default album built from the file names.
DiscLookupFactory makeDiscLookupFactory()
{
    return {};
}

// HOOK (editor): connect the track information editor and the match chooser to the session here,
// for example session.setTrackEditor(&trackInfo) and session.setAlbumChooser(&matchesController).
void connectEditorAndChooser(LAMEProcess& session, AppController& controller)
{
    Q_UNUSED(session);
    Q_UNUSED(controller);
}
} // namespace

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
    session.setDiscLookupFactory(makeDiscLookupFactory());
    connectEditorAndChooser(session, controller);
    RipSessionBinding binding(controller, session);

    // A logout or a terminal's Ctrl+C ends the application the same way as closing the window.
    UnixSignalQuitter quitter([&controller] { controller.window().close(); });

    controller.show();
    // Closing the main window ends the application; the controller stops a running rip and saves
    // the preferences on the way.
    return app.exec();
}
