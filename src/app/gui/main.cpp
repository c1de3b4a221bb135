// The vesk desktop application: one main window, its settings and the rip session behind it.

#include "app/gui/appcontroller.h"
#include "app/gui/desktopsoundplayer.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "app/gui/tracklistbinding.h"
#include "common/log.h"
#include "disc/opticaldrivewatcher.h"
#include "common/unixsignalquitter.h"
#include "editor/gui/trackinfo.h"
#include "editor/gui/trackwindowcontroller.h"
#include "lookup/gui/freedbalbummatchescontroller.h"
#include "rip/disclisting.h"
#include "rip/lameprocess.h"
#include "rip/titlesources.h"
#include "settings/settings.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vesk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vesk"));
    QApplication::setOrganizationDomain(QStringLiteral("vesk.org"));
    QApplication::setDesktopFileName(QStringLiteral("org.vesk.Vesk"));
    // Every window carries the application's icon: the theme's where installed, else our own.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("org.vesk.Vesk"), QIcon(QStringLiteral(":/icons/org.vesk.Vesk.svg"))));

    Settings settings;
    AppController controller(settings);
    DesktopSoundPlayer sound;
    LAMEProcess session(settings);
    session.setAccurateRipAllowed(true);
    session.setCoverArtAllowed(true);
    session.setSoundPlayer(&sound);
    session.setAlertPresenter(&controller);
    session.setDiscLookupFactory(TitleSources::forSettings(settings));
    // The editor asks the encoder for its genre list as soon as it exists.
    TrackInfo trackInfo(&controller.window());
    session.setTrackEditor(&trackInfo);
    FreedbAlbumMatchesController matchesController(&controller.window());
    session.setAlbumChooser(&matchesController);
    // The disc is listed, and its titles looked up, as soon as a source is there; Start rips
    // what the list shows.
    DiscListing listing;
    listing.setDiscLookupFactory(TitleSources::forSettings(settings));
    listing.setAlbumChooser(&matchesController);
    listing.setServerHost([&settings] { return settings.getChosenFreedbServer(); });
    listing.setCoverRequest([&settings](const Album& album, const std::optional<DiscTOC>& toc) {
        std::optional<CoverArtSearch::Request> request;
        if (settings.shouldAddCoverArt())
            request = CoverArtSearch::Request{album.getOrigin(), toc,
                                              settings.shouldUseMusicBrainz() ? settings.getMusicBrainzURL() : QString(),
                                              settings.getCoverArtURL()};
        return request;
    });
    QObject::connect(&listing, &DiscListing::coverArtChanged, &controller,
                     [&controller](const QByteArray& image) { controller.showCoverArt(image); });
    session.setDiscListing(&listing);
    session.setAlertFailuresAtEnd(false);
    RipSessionBinding binding(controller, session);
    TrackListBinding trackList(controller.window(), settings, listing, session, controller.cdFinder());
    // Discs going in and out, and the tray opened at the end when asked.
    OpticalDriveWatcher drives;
    trackList.followDrives(drives);
    session.setEjector([&drives](const QString& device) { drives.eject(device); });
    QObject::connect(&drives, &OpticalDriveWatcher::ejectFinished, &controller, [](const QString&, const QString& error) {
        if (!error.isEmpty())
            veskNotice(error);
    });
    drives.start();
    QObject::connect(&trackInfo, &TrackInfo::genreListDone, &trackList,
                     [&trackList, &trackInfo] {
        QStringList genres;
        if (const QComboBox* popUp = trackInfo.trackWindowController()->genrePopUp())
            for (int item = 0; item < popUp->count(); ++item)
                genres.append(popUp->itemText(item));
        trackList.setGenres(genres);
    });

    // What the user must know shows in the window too, not only on standard error.
    setLogWatcher([&controller](const QString& line, bool notice) {
        QMetaObject::invokeMethod(&controller, [&controller, line, notice] { controller.logged(line, notice); },
                                  Qt::QueuedConnection);
    });

    // A logout or a terminal's Ctrl+C ends the application as closing the window does, without
    // asking: nobody may be there to answer.
    UnixSignalQuitter quitter([&controller](int) { controller.quitWithoutAsking(); });

    controller.show();
    // Closing the main window ends the application; the controller asks before stopping a
    // running rip and saves the preferences on the way.
    const int status = app.exec();
    setLogWatcher({});
    return status;
}
