// vesk-rip: rips one folder of CD track files from the command line.
#include "common/log.h"
#include "common/printabletext.h"
#include "common/resources.h"
#include "common/unixsignalquitter.h"
#include "consolealbumchooser.h"
#include "consolefrontend.h"
#include "consolelines.h"
#include "consolesoundplayer.h"
#include "rip/lameprocess.h"
#include "rip/titlesources.h"
#include "ripoptions.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <unistd.h>

namespace {
// The log goes through the console's lines while they exist, so that no log line lands after
// the progress in place; the lookup's worker may still log until the session is gone.
class LogThroughLines {
public:
    explicit LogThroughLines(ConsoleLines& lines)
    {
        setLogSink([&lines](const QString& line) {
            lines.message(QStringLiteral("vesk: ") + withControlsEscaped(line));
        });
    }
    ~LogThroughLines() { setLogSink({}); }
    LogThroughLines(const LogThroughLines&) = delete;
    LogThroughLines& operator=(const LogThroughLines&) = delete;
};
} // namespace

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
    if (options.versionRequested()) {
        std::puts(qPrintable(RipOptions::versionText()));
        return 0;
    }
    if (!options.resourceDirectory().isEmpty())
        Resources::setResourceDirectory(options.resourceDirectory());

    // Progress on standard output (in place on a terminal), everything else on standard error;
    // both written straight to their descriptors, so that they interleave as they happen.
    QFile progress;
    QFile messages;
    progress.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    messages.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    ConsoleLines lines(progress, messages, ConsoleLines::terminalColumns(STDOUT_FILENO));
    const LogThroughLines log(lines);

    Settings settings;
    if (!options.applyPreferences(settings) || !options.applyTo(settings)) {
        lines.message(QStringLiteral("vesk-rip: ") + options.errorText());
        return 2;
    }
    if (!options.notice().isEmpty())
        lines.message(QStringLiteral("vesk-rip: ") + options.notice());
    LAMEProcess session(settings);
    // The folder named (or the CD found now) is the one to rip: never swap in another.
    session.cdFinder().lookNowhere();
    ConsoleSoundPlayer sound;
    session.setSoundPlayer(&sound);
    // With --server the titles are looked up; several matches are offered on the terminal, the
    // list going to standard error so that standard output keeps the progress lines only.
    ConsoleAlbumChooser chooser(STDIN_FILENO, lines, ConsoleAlbumChooser::standardInputIsTerminal());
    if (!settings.getChosenFreedbServer().isEmpty()) {
        session.setDiscLookupFactory(TitleSources::forSettings(settings));
        session.setAlbumChooser(&chooser);
    }
    session.setReadOffsetOverride(options.readOffset());
    session.setAccurateRipAllowed(true);
    session.setCoverArtAllowed(true);
    ConsoleFrontEnd frontEnd(session, lines);
    frontEnd.setRequireAccurate(options.accurateRipRequired());
    session.setAlertPresenter(&frontEnd);
    // Ctrl+C, a closed terminal or a service manager stop the rip as the window's Stop button
    // does; at the match question they end the run at once.
    UnixSignalQuitter signalStopper([&frontEnd](int signalNumber) { frontEnd.stopBySignal(signalNumber); });
    if (!frontEnd.start()) {
        lines.endOpenLine();
        return 1;
    }
    app.exec();
    lines.endOpenLine();
    return frontEnd.exitCode();
}
