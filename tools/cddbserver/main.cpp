// vesk-cddb-server: serves a freedb-style tree of CDDB entries (root/category/discid) on a
// loopback address until it is interrupted, over CDDBP and over HTTP on a port of its own.

#include "cddbserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <cstdio>

namespace {

QByteArray commandAndRest(const QString& spec, QString* command)
{
    const qsizetype split = spec.indexOf(QLatin1Char('='));
    *command = spec.left(split);
    return split < 0 ? QByteArray() : spec.mid(split + 1).toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    // Blocked before any thread starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk-cddb-server"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A small CDDB server for tests and demos."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("root"), QStringLiteral("Entry tree: root/category/discid."));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("IPv4 or IPv6 address (127.0.0.1)."),
                                     QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port, 0 for any (8880)."),
                                  QStringLiteral("port"), QStringLiteral("8880"));
    const QCommandLineOption portFile(QStringLiteral("port-file"),
                                      QStringLiteral("Write the port to this file once listening."),
                                      QStringLiteral("file"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Server name in replies."),
                                  QStringLiteral("name"), QStringLiteral("localhost"));
    const QCommandLineOption banner(QStringLiteral("banner-code"), QStringLiteral("201 (default) or 200."),
                                    QStringLiteral("code"), QStringLiteral("201"));
    const QCommandLineOption answer(
        QStringLiteral("answer"), QStringLiteral("Answer a command with a reply line: 'cddb hello=431 No'."),
        QStringLiteral("command=reply"));
    const QCommandLineOption silent(QStringLiteral("silent-at"),
                                    QStringLiteral("Stop answering from this command on."),
                                    QStringLiteral("command"));
    const QCommandLineOption close(QStringLiteral("close-at"),
                                   QStringLiteral("Hang up at this command after n bytes of its reply."),
                                   QStringLiteral("command[=n]"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send replies in pieces of n bytes, ms apart."),
                                   QStringLiteral("n[:ms]"));
    const QCommandLineOption level(QStringLiteral("max-level"),
                                   QStringLiteral("Highest protocol level spoken, 1 to 6 (6)."),
                                   QStringLiteral("level"), QStringLiteral("6"));
    const QCommandLineOption httpPort(QStringLiteral("http-port"),
                                      QStringLiteral("Port for HTTP (GET /~cddb/cddb.cgi), 0 for any (0)."),
                                      QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption httpAnswer(QStringLiteral("http-answer"),
                                        QStringLiteral("Answer every HTTP request with this status and a "
                                                       "web page: '500'."),
                                        QStringLiteral("status"));
    parser.addOptions(
        {address, port, portFile, name, banner, answer, silent, close, split, level, httpPort, httpAnswer});
    parser.process(app);

    const QStringList roots = parser.positionalArguments();
    if (roots.size() != 1 || !QDir(roots[0]).exists()) {
        std::fprintf(stderr, "vesk-cddb-server: give one existing entry tree\n");
        return 2;
    }
    CddbServer server(QDir(roots.first()).absolutePath());
    server.setServerName(parser.value(name));
    const int bannerCode = parser.value(banner).toInt();
    if (bannerCode != 200 && bannerCode != 201) {
        std::fprintf(stderr, "vesk-cddb-server: the banner code is 200 or 201\n");
        return 2;
    }
    server.setBannerCode(bannerCode);
    const int highestLevel = parser.value(level).toInt();
    if (highestLevel < 1 || highestLevel > 6) {
        std::fprintf(stderr, "vesk-cddb-server: the highest level is 1 to 6\n");
        return 2;
    }
    server.setHighestLevel(highestLevel);
    for (const QString& spec : parser.values(answer)) {
        QString command;
        const QByteArray reply = commandAndRest(spec, &command);
        server.answer(command, reply);
    }
    for (const QString& command : parser.values(silent))
        server.fallSilentAt(command);
    for (const QString& spec : parser.values(close)) {
        QString command;
        const QByteArray bytes = commandAndRest(spec, &command);
        server.closeAt(command, bytes.toInt());
    }
    if (parser.isSet(split)) {
        const QStringList parts = parser.value(split).split(QLatin1Char(':'));
        server.splitReplies(parts[0].toInt(), parts.value(1).toInt());
    }

    if (parser.isSet(httpAnswer)) {
        const int status = parser.value(httpAnswer).toInt();
        if (status < 100 || status > 599) {
            std::fprintf(stderr, "vesk-cddb-server: the HTTP status is 100 to 599\n");
            return 2;
        }
        server.answerHttp(status, "<html><head><title>Vesk test server</title></head><body>Status " +
                                      QByteArray::number(status) + "</body></html>\n");
    }

    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    bool httpPortOk = false;
    const uint httpPortNumber = parser.value(httpPort).toUInt(&httpPortOk);
    portOk = portOk && httpPortOk && portNumber <= 65535 && httpPortNumber <= 65535;
    if (!portOk || !server.listen(parser.value(address), quint16(portNumber), quint16(httpPortNumber))) {
        std::fprintf(stderr, "vesk-cddb-server: %s\n",
                     qPrintable(portOk ? server.errorString() : QStringLiteral("bad port")));
        return 1;
    }
    if (parser.isSet(portFile)) {
        QFile file(parser.value(portFile));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray::number(server.port()) + '\n');
    }
    // An IPv6 address goes in brackets, so that the port cannot be read as part of it.
    const QString where = server.address().contains(QLatin1Char(':'))
                              ? QStringLiteral("[%1]").arg(server.address())
                              : server.address();
    std::fprintf(stderr, "vesk-cddb-server: serving %s on %s:%u, and over HTTP at %s\n", qPrintable(roots[0]),
                 qPrintable(where), unsigned(server.port()), qPrintable(server.cgiUrl()));

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
