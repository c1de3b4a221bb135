#include "lookup/cddb/cddbhttptransport.h"

#include "common/printabletext.h"
#include "common/veskexception.h"
#include "lookup/cddb/abstractsocket.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/cddbfailure.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/cddbreplyreader.h"
#include "lookup/lookuperror.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>

namespace {
using Kind = VeskException::Kind;
using Clock = std::chrono::steady_clock;

const QString kCheckAddress = QStringLiteral("Check the CDDB server's address.");

// The words of a command or greeting as the query wants them: each percent-encoded, joined by "+".
QByteArray plusJoined(const QStringList& words)
{
    QByteArrayList encoded;
    for (const QString& word : words)
        encoded << QUrl::toPercentEncoding(word);
    return encoded.join('+');
}

// What the socket would raise: the shared handling puts both transports' breaks in the same words.
[[noreturn]] void raiseNetwork(const QString& detail, int systemError = 0)
{
    const QString name = QStringLiteral("HTTP: ") + detail;
    throw VeskException(name, name, Kind::Network, systemError);
}

[[noreturn]] void raiseCancelled()
{
    const QString text = QStringLiteral("HTTP: Cancelled");
    throw VeskException(text, text, Kind::Cancelled);
}

// Whether following a redirection from one address to another stays with the same server and
// does not give up TLS.
bool isSameServer(const QUrl& from, const QUrl& to)
{
    return to.host().compare(from.host(), Qt::CaseInsensitive) == 0 &&
           (to.scheme() == from.scheme() ||
            (from.scheme() == QLatin1String("http") && to.scheme() == QLatin1String("https")));
}

// Why a request that brought no HTTP answer failed.
[[noreturn]] void failUnanswered(const QNetworkReply& reply, const QUrl& address)
{
    const quint16 port = quint16(address.port(address.scheme() == QLatin1String("https") ? 443 : 80));
    LookupFailure failure;
    failure.kind = Kind::Network;
    failure.advice = CDDBFailure::checkServer;
    failure.detail = reply.errorString();
    switch (reply.error()) {
    case QNetworkReply::HostNotFoundError:
        failure.what = CDDBFailure::unreachableWhat(0, address.host(), port, {});
        break;
    case QNetworkReply::ConnectionRefusedError:
        failure.what = CDDBFailure::unreachableWhat(ECONNREFUSED, address.host(), port, {});
        break;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
        raiseNetwork(reply.errorString(), reply.error() == QNetworkReply::TimeoutError ? ETIMEDOUT : 0);
    case QNetworkReply::SslHandshakeFailedError:
        failure.what = QStringLiteral("No secure connection to the server could be made.");
        break;
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        failure.kind = Kind::Refused;
        failure.what = QStringLiteral("The server sent the request round too many times.");
        failure.advice = kCheckAddress;
        break;
    default:
        failure.what = QStringLiteral("The server could not be reached: %1.").arg(reply.errorString());
        break;
    }
    throw LookupError(std::move(failure));
}
} // namespace

const qsizetype CDDBHttpTransport::maxReplySize = CDDBReplyReader::maxReplySize;

CDDBHttpTransport::CDDBHttpTransport(QUrl address) : m_address(std::move(address)) {}

CDDBHttpTransport::~CDDBHttpTransport() = default;

void CDDBHttpTransport::open()
{
    const QString scheme = m_address.scheme();
    if (!m_address.isValid() || m_address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        CDDBFailure::fail(
            Kind::Other,
            QStringLiteral("Vesk asks CDDB servers on the web at http:// or https:// addresses only."),
            kCheckAddress);
    m_manager = std::make_unique<QNetworkAccessManager>();
}

QUrl CDDBHttpTransport::requestUrl(const QString& command) const
{
    QUrl url = m_address;
    QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
    if (!query.isEmpty())
        query += '&';
    query += "cmd=" + plusJoined(command.split(QLatin1Char(' '), Qt::SkipEmptyParts)) +
             "&hello=" + plusJoined(m_hello) + "&proto=" + QByteArray::number(m_level);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    url.setFragment(QString());
    return url;
}

QByteArray CDDBHttpTransport::exchange(const QString& command)
{
    QByteArray reply = fetch(requestUrl(command));
    // A level-5 server refuses level 6 in the reply to the first command: ask that again at 5.
    // Either way the replies' bytes tell how they are encoded.
    if (!m_levelSettled && m_level == 6 && reply.startsWith("501 ")) {
        m_level = 5;
        reply = fetch(requestUrl(command));
    }
    m_levelSettled = true;
    return reply;
}

QByteArray CDDBHttpTransport::fetch(const QUrl& url)
{
    const auto cancelled = [this] { return m_cancellation && m_cancellation->isCancelled(); };
    if (cancelled())
        raiseCancelled();

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Vesk/" VESK_VERSION));
    request.setRawHeader("Accept", "text/plain");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);

    enum class Stop { None, Stalled, Deadline, Cancelled, Overlong, Redirected };
    Stop stop = Stop::None;
    QUrl refusedRedirect;
    QByteArray body;
    QEventLoop loop;
    const auto end = [&](Stop why) {
        if (stop == Stop::None)
            stop = why;
        loop.quit();
    };
    const std::unique_ptr<QNetworkReply> reply(m_manager->get(request));

    // Each wait for more bytes has the time-out; the whole request ends at the deadline.
    const int stepTimeout = m_timeout > 0 ? m_timeout : AbstractSocket::defaultTimeout();
    QTimer stall;
    stall.setSingleShot(true);
    QObject::connect(&stall, &QTimer::timeout, &loop, [&] { end(Stop::Stalled); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { end(Stop::Deadline); });
    std::optional<QSocketNotifier> cancellation;
    if (m_cancellation && m_cancellation->fd() >= 0) {
        cancellation.emplace(m_cancellation->fd(), QSocketNotifier::Read);
        QObject::connect(&*cancellation, &QSocketNotifier::activated, &loop, [&] { end(Stop::Cancelled); });
    }
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        if (body.size() > maxReplySize)
            end(Stop::Overlong);
        stall.start(stepTimeout);
    });
    QObject::connect(reply.get(), &QNetworkReply::redirected, &loop, [&](const QUrl& to) {
        if (isSameServer(url, to)) {
            Q_EMIT reply->redirectAllowed();
            return;
        }
        refusedRedirect = to;
        end(Stop::Redirected);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    stall.start(stepTimeout);
    if (m_deadline != Clock::time_point::max()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
        deadline.start(int(std::clamp<long long>(left, 0, INT_MAX)));
    }
    if (!reply->isFinished())
        loop.exec();
    QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (cancelled())
        stop = Stop::Cancelled;
    if (stop != Stop::None || !reply->isFinished()) {
        reply->abort();
        switch (stop) {
        case Stop::Cancelled:
            raiseCancelled();
        case Stop::Overlong:
            CDDBFailure::fail(Kind::BadReply, QStringLiteral("The server's reply is far too long."));
        case Stop::Redirected:
            CDDBFailure::fail(Kind::Refused,
                              QStringLiteral("The server sent the request on to another server, %1.")
                                  .arg(withoutControls(refusedRedirect.host())),
                              QStringLiteral("Check the CDDB server's address; put that server's in its "
                                             "place if it is the one to ask."));
        default:
            raiseNetwork(QStringLiteral("Recv failed: no answer within %1 ms").arg(stepTimeout), ETIMEDOUT);
        }
    }

    body += reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0)
        failUnanswered(*reply, url);
    const QString statusLine =
        QStringLiteral("HTTP %1 %2")
            .arg(status)
            .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    if (body.size() > maxReplySize)
        CDDBFailure::fail(Kind::BadReply, QStringLiteral("The server's reply is far too long."));
    if (status == 404 || status == 410)
        CDDBFailure::fail(Kind::Refused, QStringLiteral("There is no CDDB server at this address."),
                          kCheckAddress, statusLine);
    if (status >= 400 && status <= 499)
        CDDBFailure::fail(Kind::Refused, QStringLiteral("The server refused the request."),
                          CDDBFailure::tryLater, statusLine);
    if (status >= 500)
        CDDBFailure::fail(Kind::Refused, QStringLiteral("The server failed to answer the request."),
                          CDDBFailure::tryLater, statusLine);
    if (status < 200 || status > 299)
        CDDBFailure::failUnexplained(statusLine);
    // An answer whose body broke off: the connection went, not the server's reply.
    if (reply->error() != QNetworkReply::NoError)
        raiseNetwork(reply->errorString());
    return wholeReply(std::move(body), reply->header(QNetworkRequest::ContentTypeHeader).toString());
}

QByteArray CDDBHttpTransport::wholeReply(QByteArray body, const QString& contentType)
{
    const QByteArray start = body.left(256).trimmed();
    if (contentType.contains(QLatin1String("html"), Qt::CaseInsensitive) || start.startsWith('<'))
        CDDBFailure::fail(Kind::BadReply,
                          QStringLiteral("The server sent a web page instead of a CDDB reply."),
                          QStringLiteral("Check that the CDDB server's address is that of a CDDB server."));
    if (body.isEmpty())
        CDDBFailure::failUnexplained({});
    qsizetype statusEnd = body.indexOf('\n');
    if (statusEnd < 0) {
        body += "\r\n";
        statusEnd = body.size() - 1;
    }
    const QString status = QString::fromLatin1(body.left(statusEnd));
    const qint32 code = status.contains(QLatin1Char(' ')) ? CDDBReply::replyCode(status) : 0;
    if (!CDDBReply::hasDataLines(code))
        return body.left(statusEnd + 1);
    const qsizetype end = CDDBReply::endOfTerminator(body, statusEnd);
    if (end < 0)
        CDDBFailure::fail(Kind::BadReply,
                          QStringLiteral("The server closed the connection before its reply was complete."));
    body.truncate(end);
    return body;
}
