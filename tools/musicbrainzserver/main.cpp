// vesk-musicbrainz-server: serves a folder of MusicBrainz disc replies (<disc id>.json, or the
// toc parameter's numbers joined with "+" and ".json") on a loopback address until interrupted.

#include "musicbrainzserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    // Blocked before any thread starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk-musicbrainz-server"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A stand-in for MusicBrainz's disc lookups, for tests and demos."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("Folder of <disc id>.json replies."));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("IPv4 address (127.0.0.1)."),
                                     QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port, 0 for any (8080)."),
                                  QStringLiteral("port"), QStringLiteral("8080"));
    const QCommandLineOption portFile(QStringLiteral("port-file"),
                                      QStringLiteral("Write the port to this file once listening."),
                                      QStringLiteral("file"));
    const QCommandLineOption answer(QStringLiteral("answer"),
                                    QStringLiteral("Answer the next request with this HTTP status, or with a "
                                                   "broken body for 'broken'; repeat for later requests."),
                                    QStringLiteral("status"));
    parser.addOptions({address, port, portFile, answer});
    parser.process(app);

    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1 || !QDir(folders[0]).exists()) {
        std::fprintf(stderr, "vesk-musicbrainz-server: give one existing folder\n");
        return 2;
    }
    MusicBrainzServer server{QDir(folders[0]).absolutePath()};
    for (const QString& value : parser.values(answer)) {
        bool ok = false;
        const int status = value.toInt(&ok);
        if (value == QStringLiteral("broken"))
            server.queueBrokenBody();
        else if (ok && status >= 100 && status <= 599)
            server.queueAnswer(status);
        else {
            std::fprintf(stderr, "vesk-musicbrainz-server: --answer takes a status or 'broken'\n");
            return 2;
        }
    }
    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber > 65535 || !server.listen(parser.value(address), quint16(portNumber))) {
        std::fprintf(stderr, "vesk-musicbrainz-server: %s\n",
                     qPrintable(portOk ? server.errorString() : QStringLiteral("bad port")));
        return 1;
    }
    if (parser.isSet(portFile)) {
        QFile file(parser.value(portFile));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray::number(server.port()) + '\n');
    }
    std::fprintf(stderr, "vesk-musicbrainz-server: serving %s at %s\n", qPrintable(folders[0]),
                 qPrintable(server.rootUrl()));

    // The server has its own thread; this one only waits for the end.
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
