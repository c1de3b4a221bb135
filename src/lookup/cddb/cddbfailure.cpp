#include "lookup/cddb/cddbfailure.h"

#include "lookup/cddb/cddbreply.h"
#include "lookup/lookuperror.h"

#include <cerrno>
#include <cstring>

const QString CDDBFailure::tryLater = QStringLiteral("Try again later, or use another CDDB server.");
const QString CDDBFailure::checkServer =
    QStringLiteral("Check the CDDB server's name and your network connection.");
const QString CDDBFailure::alreadyGreeted =
    QStringLiteral("The server took Vesk's greeting for a second one.");
const QString CDDBFailure::checkNetwork =
    QStringLiteral("Check your network connection, or try again later.");

void CDDBFailure::fail(Kind kind, const QString& what, const QString& advice, const QString& reply)
{
    LookupFailure failure;
    failure.kind = kind;
    failure.what = what;
    failure.advice = advice;
    failure.serverSaid = CDDBReply::statusLineForPeople(reply);
    throw LookupError(std::move(failure));
}

void CDDBFailure::failUnexplained(const QString& reply)
{
    fail(Kind::BadReply, QStringLiteral("The server answered with something that is not a CDDB reply."),
         QStringLiteral("Check that the CDDB server's name is that of a CDDB server."), reply);
}

void CDDBFailure::failGreeting(const QString& reply, const QString& email)
{
    const QString advice =
        QStringLiteral("%1 your e-mail address in the E-mail field beside the CDDB server (vesk-rip: "
                       "--email); the public server gnudb.gnudb.org refuses greetings without a "
                       "real one.")
            .arg(email.trimmed().isEmpty() ? QStringLiteral("Put") : QStringLiteral("Check"));
    fail(Kind::Refused, QStringLiteral("The server refused Vesk's greeting."), advice, reply);
}

bool CDDBFailure::refusesGreeting(qint32 code, const QString& reply)
{
    if (code == 431)
        return true;
    const QString status = reply.section(QLatin1Char('\n'), 0, 0);
    return code == 500 && (status.contains(QLatin1String("email"), Qt::CaseInsensitive) ||
                           status.contains(QLatin1String("hello"), Qt::CaseInsensitive) ||
                           status.contains(QLatin1String("handshake"), Qt::CaseInsensitive));
}

QString CDDBFailure::unreachableWhat(int systemError, const QString& host, quint16 port,
                                     const QString& reason)
{
    switch (systemError) {
    case 0: // the resolver's failures carry no system error
        return host.trimmed().isEmpty() ? QStringLiteral("No server name was given.")
                                        : QStringLiteral("The server name %1 could not be found.").arg(host);
    case ECONNREFUSED:
        return QStringLiteral("The server refused the connection on port %1.").arg(port);
    case ETIMEDOUT:
        return QStringLiteral("The server did not answer in time.");
    default:
        return QStringLiteral("The server could not be reached: %1.").arg(reason);
    }
}

LookupFailure CDDBFailure::unreachable(const VeskException& failure, const QString& host, quint16 port)
{
    LookupFailure words;
    words.kind = Kind::Network;
    words.advice = checkServer;
    words.detail = failure.reason();
    words.what = unreachableWhat(failure.systemError(), host, port,
                                 QString::fromLocal8Bit(std::strerror(failure.systemError())));
    return words;
}
