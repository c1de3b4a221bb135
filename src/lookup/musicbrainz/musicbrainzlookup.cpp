#include "lookup/musicbrainz/musicbrainzlookup.h"

#include "common/log.h"
#include "common/printabletext.h"
#include "common/veskexception.h"
#include "lookup/deferreddisclookup.h"
#include "lookup/lookuperror.h"
#include "lookup/lookupfailure.h"
#include "lookup/lookuphost.h"
#include "lookup/musicbrainz/musicbrainzreleasereader.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>
#include <chrono>

namespace {
using Kind = VeskException::Kind;

const QString kSource = QStringLiteral("MusicBrainz");
const QString kNotFound = QStringLiteral("MusicBrainz does not know this disc.");
const QString kTryLater = QStringLiteral("Try again later.");
const QString kCheckNetwork = QStringLiteral("Check your network connection, or try again later.");

[[noreturn]] void fail(Kind kind, const QString& what, const QString& advice = {},
                       const QString& serverSaid = {}, const QString& detail = {})
{
    LookupFailure failure;
    failure.source = kSource;
    failure.kind = kind;
    failure.what = what;
    failure.advice = advice;
    failure.serverSaid = serverSaid;
    failure.detail = detail;
    throw LookupError(std::move(failure));
}

// What went wrong with a connection that brought no answer.
QString unreachable(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("The name of MusicBrainz's server could not be found.");
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("MusicBrainz refused the connection.");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("MusicBrainz did not answer in time.");
    default:
        return QStringLiteral("MusicBrainz could not be reached.");
    }
}

// Every lookup of the process shares the service's allowance: each request takes the next free
// second, and the time of the one after it is remembered here.
std::mutex g_pacingMutex;
std::chrono::steady_clock::time_point g_nextRequest;

// Milliseconds from now until the request may go out, at least notBefore.
int reserveRequestSlot(int notBefore)
{
    const std::lock_guard lock(g_pacingMutex);
    const auto now = std::chrono::steady_clock::now();
    const auto slot = std::max(now + std::chrono::milliseconds(notBefore), g_nextRequest);
    g_nextRequest = slot + std::chrono::milliseconds(MusicBrainzLookup::requestInterval);
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slot - now).count());
}
} // namespace

MusicBrainzLookup::MusicBrainzLookup(LookupHost& host, const DiscTOC& toc, QString root)
    : m_host(host), m_disc(MusicBrainzDiscId::fromTOC(toc)), m_root(std::move(root))
{
    m_root = m_root.trimmed();
    while (m_root.endsWith(QLatin1Char('/')))
        m_root.chop(1);
    // "musicbrainz.org" as typed in the window means the service's usual address.
    if (!m_root.contains(QStringLiteral("://")))
        m_root.prepend(QStringLiteral("https://"));
}

DiscLookupFactory MusicBrainzLookup::factory(std::function<QString()> root, int timeout)
{
    return [root = std::move(root), timeout](LookupHost& host) -> std::unique_ptr<DiscLookup> {
        const QString address = root().trimmed();
        if (address.isEmpty())
            return nullptr;
        // The address is read here, on the main thread; the disc is read on the worker.
        return std::make_unique<DeferredDiscLookup>(
            host, [address, timeout](LookupHost& worker, const DiscTOC& toc) {
                auto lookup = std::make_unique<MusicBrainzLookup>(worker, toc, address);
                lookup->setTimeout(timeout);
                return lookup;
            });
    };
}

QString MusicBrainzLookup::userAgent()
{
    return QStringLiteral("Vesk/" VESK_VERSION " ( https://vesk.org )");
}

QUrl MusicBrainzLookup::requestUrl() const
{
    if (!m_disc)
        return {};
    QUrl url(QStringLiteral("%1/ws/2/discid/%2").arg(m_root, m_disc->id()));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("toc"),
                       QString(m_disc->tocString()).replace(QLatin1Char(' '), QLatin1Char('+')));
    query.addQueryItem(QStringLiteral("inc"),
                       QStringLiteral("recordings+artist-credits+release-groups+labels"));
    query.addQueryItem(QStringLiteral("fmt"), QStringLiteral("json"));
    url.setQuery(query);
    return url;
}

void MusicBrainzLookup::cancel()
{
    m_loop.cancel();
}

void MusicBrainzLookup::lookupCDInformation(const QString&)
{
    m_albumInfo.reset();
    try {
        converse();
    } catch (const LookupError& error) {
        error.failure().report(m_host);
    }
}

void MusicBrainzLookup::converse()
{
    if (!m_disc)
        fail(Kind::Other,
             QStringLiteral("This disc's table of contents gives no MusicBrainz disc identifier."));
    m_host.lookupProgress(QStringLiteral("Asking MusicBrainz…"));
    veskLog(QStringLiteral("Asking MusicBrainz (%1) for disc %2").arg(m_root, m_disc->id()));
    QNetworkAccessManager manager;
    Response response = fetch(manager, 0);
    if (response.status == 503) {
        // The service is busy or we were too fast: one more try after a second.
        veskLog(QStringLiteral("MusicBrainz is busy; asking once more in a second"));
        response = fetch(manager, requestInterval);
    }
    if (response.status == 404)
        fail(Kind::NotFound, kNotFound, {}, response.statusLine);
    if (response.status == 503)
        fail(Kind::Refused, QStringLiteral("MusicBrainz is too busy to answer."),
             QStringLiteral("Try again in a few minutes."), response.statusLine);

    const auto matches =
        MusicBrainzReleaseReader::readMatches(response.body, m_disc->id(), m_disc->trackCount());
    if (!matches)
        fail(Kind::BadReply, QStringLiteral("MusicBrainz's answer for this disc could not be read."),
             kTryLater);
    if (matches->isEmpty())
        fail(Kind::NotFound, kNotFound);
    qsizetype chosen = 0;
    if (matches->size() > 1) {
        QStringList lines;
        for (const MusicBrainzMatch& match : *matches)
            lines.append(match.line);
        chosen = m_host.displayMultipleAlbumMatches(lines);
        if (chosen == -1)
            fail(Kind::Declined, QStringLiteral("None of MusicBrainz's releases was chosen."));
        if (chosen < 0 || chosen >= lines.size())
            fail(Kind::Other, QStringLiteral("No valid release was chosen."));
    }
    m_albumInfo = matches->at(chosen).album;
}

MusicBrainzLookup::Response MusicBrainzLookup::fetch(QNetworkAccessManager& manager, int notBefore)
{
    QNetworkRequest request(requestUrl());
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    const QString tooLong = QStringLiteral("MusicBrainz's answer is far too long to be a disc's.");

    Response response;
    QEventLoop loop;
    std::unique_ptr<QNetworkReply> reply;
    bool timedOut = false;
    bool overlong = false;
    // The time-out counts from the request on, not from the wait for its turn.
    QTimer answerTimer;
    answerTimer.setSingleShot(true);
    QObject::connect(&answerTimer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    // The request goes out from within the loop when its turn comes; until then the loop only
    // waits for the turn, or for a cancel.
    QTimer turn;
    turn.setSingleShot(true);
    QObject::connect(&turn, &QTimer::timeout, &loop, [&] {
        reply.reset(manager.get(request));
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
            response.body += reply->readAll();
            if (response.body.size() > MusicBrainzReleaseReader::maxReplySize) {
                overlong = true;
                loop.quit();
            }
        });
        answerTimer.start(m_timeout);
        if (reply->isFinished())
            loop.quit();
    });
    turn.start(reserveRequestSlot(notBefore));
    const bool carriedOn = m_loop.run(loop);
    if (reply)
        QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (!carriedOn || timedOut || overlong || !reply || !reply->isFinished()) {
        if (reply)
            reply->abort();
        if (carriedOn && timedOut)
            fail(Kind::Network, QStringLiteral("MusicBrainz did not answer in time."), kCheckNetwork, {},
                 QStringLiteral("no answer within %1 ms").arg(m_timeout));
        if (carriedOn && overlong)
            fail(Kind::BadReply, tooLong);
        fail(Kind::Cancelled, QStringLiteral("The lookup was stopped."));
    }
    response.body += reply->readAll();
    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (response.status != 0)
        response.statusLine = withoutControls(
            QStringLiteral("%1 %2")
                .arg(response.status)
                .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
    if (response.status == 404 || response.status == 503)
        return response;
    if (response.body.size() > MusicBrainzReleaseReader::maxReplySize)
        fail(Kind::BadReply, tooLong);
    // An HTTP status says the service answered, and no; without one the connection failed.
    if (response.status == 0 && reply->error() != QNetworkReply::NoError)
        fail(Kind::Network, unreachable(reply->error()), kCheckNetwork, {}, reply->errorString());
    if (response.status == 200 && reply->error() != QNetworkReply::NoError)
        fail(Kind::Network, QStringLiteral("The connection to MusicBrainz broke off."), kCheckNetwork, {},
             reply->errorString());
    if (response.status != 200)
        fail(Kind::Refused, QStringLiteral("MusicBrainz answered the request with an error."), kTryLater,
             response.statusLine, reply->errorString());
    return response;
}
