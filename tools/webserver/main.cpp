// vesk-web-server: serves a folder of files (dBAR files under accuraterip/, cover images) on a
// loopback address until interrupted, for benchmarks and demos.

#include "staticwebserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk-web-server"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves a folder's files over HTTP on a loopback address."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder to serve."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port (0: any free one)."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(port);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    StaticWebServer server(parser.positionalArguments().first());
    if (!server.listen(QStringLiteral("127.0.0.1"), quint16(parser.value(port).toUInt()))) {
        std::fprintf(stderr, "vesk-web-server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    // The address on the first line, for scripts.
    std::printf("%s\n", qPrintable(server.rootUrl()));
    std::fflush(stdout);
    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    return 0;
}
