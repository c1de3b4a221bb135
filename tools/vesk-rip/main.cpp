// vesk-rip: rips one folder of CD track files from the command line.
#include "common/resources.h"
#include "common/unixsignalquitter.h"
#include "consolefrontend.h"
#include "consolesoundplayer.h"
#include "consolealbumchooser.h"
#include "rip/lameprocess.h"
#include "rip/titlesources.h"
#include "ripoptions.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk-rip"));

    RipOptions options;
    if (!options.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "vesk-rip: %s\nTry vesk-rip --help.\n", qPrintable(options.errorText()));
        return 2;
    }
    if (options.helpRequested()) {
        std::fputs(qPrintable(options.helpText()), stdout);
        return 0;
    }
    if (!options.resourceDirectory().isEmpty())
        Resources::setResourceDirectory(options.resourceDirectory());

    Settings settings;
    if (!options.applyPreferences(settings) || !options.applyTo(settings)) {
        std::fprintf(stderr, "vesk-rip: %s\n", qPrintable(options.errorText()));
        return 2;
    }
    if (!options.notice().isEmpty())
        std::fprintf(stderr, "vesk-rip: %s\n", qPrintable(options.notice()));
    LAMEProcess session(settings);
    // The folder named (or the CD found now) is the one to rip: never swap in another.
    session.cdFinder().lookNowhere();
    ConsoleSoundPlayer sound;
    session.setSoundPlayer(&sound);
    // With --server the titles are looked up; several matches are offered on the terminal, the
    // list going to standard error so that standard output keeps the progress lines only.
    QFile input;
    QFile errors;
    input.open(stdin, QIODevice::ReadOnly);
    errors.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    ConsoleAlbumChooser chooser(input, errors, ConsoleAlbumChooser::standardInputIsTerminal());
    if (!settings.getChosenFreedbServer().isEmpty()) {
        session.setDiscLookupFactory(TitleSources::forSettings(settings));
        session.setAlbumChooser(&chooser);
    }
    ConsoleFrontEnd frontEnd(session);
    session.setAlertPresenter(&frontEnd);
    // Ctrl+C, a closed terminal or a service manager stop the rip as the window's Stop button does.
    UnixSignalQuitter signalStopper([&frontEnd](int signalNumber) { frontEnd.stopBySignal(signalNumber); });
    if (!frontEnd.start())
        return 1;
    app.exec();
    return frontEnd.exitCode();
}
