#include "lookup/musicbrainz/musicbrainzlookup.h"

#include "common/log.h"
#include "common/veskexception.h"
#include "lookup/deferreddisclookup.h"
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
const QString kErrorTitle = QStringLiteral("MusicBrainz Error");
const QString kNotFound = QStringLiteral("MusicBrainz: I couldn't find this CD in the MusicBrainz database.");
const QString kDeclined = QStringLiteral("MusicBrainz: None of the matching CDs was chosen.");
const QString kCancelled = QStringLiteral("MusicBrainz: The lookup was cancelled.");

using Kind = VeskException::Kind;

[[noreturn]] void fail(const QString& text, Kind kind)
{
    throw VeskException(text, text, kind);
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
    query.addQueryItem(QStringLiteral("inc"), QStringLiteral("recordings+artist-credits"));
    query.addQueryItem(QStringLiteral("fmt"), QStringLiteral("json"));
    url.setQuery(query);
    return url;
}

void MusicBrainzLookup::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_loop)
        QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
}

bool MusicBrainzLookup::run(QEventLoop& loop)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return false;
        m_loop = &loop;
    }
    loop.exec();
    const std::lock_guard lock(m_mutex);
    m_loop = nullptr;
    return !m_cancelled;
}

void MusicBrainzLookup::lookupCDInformation(const QString&)
{
    m_albumInfo.reset();
    try {
        converse();
    } catch (const VeskException& failure) {
        veskLog(QStringLiteral("%1 (%2):  %3").arg(kErrorTitle, failure.name(), failure.reason()));
        if (failure.deservesAlert())
            m_host.runAlertWithTitle(kErrorTitle, failure.reason());
    }
}

void MusicBrainzLookup::converse()
{
    if (!m_disc)
        fail(QStringLiteral(
                 "MusicBrainz: This disc's table of contents gives no MusicBrainz disc identifier."),
             Kind::Other);
    veskLog(QStringLiteral("Asking MusicBrainz (%1) for disc %2").arg(m_root, m_disc->id()));
    QNetworkAccessManager manager;
    Response response = fetch(manager, 0);
    if (response.status == 503) {
        // The service is busy or we were too fast: one more try after a second.
        veskLog(QStringLiteral("MusicBrainz is busy; asking once more in a second"));
        response = fetch(manager, requestInterval);
    }
    if (response.status == 404)
        fail(kNotFound, Kind::NotFound);
    if (response.status == 503)
        fail(QStringLiteral("MusicBrainz: The service is too busy to answer; please try again later."),
             Kind::Refused);

    const auto matches =
        MusicBrainzReleaseReader::readMatches(response.body, m_disc->id(), m_disc->trackCount());
    if (!matches)
        fail(QStringLiteral("MusicBrainz: The service's answer for this CD could not be read."),
             Kind::BadReply);
    if (matches->isEmpty())
        fail(kNotFound, Kind::NotFound);
    qsizetype chosen = 0;
    if (matches->size() > 1) {
        QStringList lines;
        for (const MusicBrainzMatch& match : *matches)
            lines.append(match.line);
        chosen = m_host.displayMultipleAlbumMatches(lines);
        if (chosen == -1)
            fail(kDeclined, Kind::Declined);
        if (chosen < 0 || chosen >= lines.size())
            fail(QStringLiteral("MusicBrainz: No valid match was chosen."), Kind::Other);
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
    const QString tooLongText =
        QStringLiteral("MusicBrainz: The service's answer is far too long to be a CD's.");

    Response response;
    QEventLoop loop;
    std::unique_ptr<QNetworkReply> reply;
    bool timedOut = false;
    bool tooLong = false;
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
                tooLong = true;
                loop.quit();
            }
        });
        answerTimer.start(m_timeout);
        if (reply->isFinished())
            loop.quit();
    });
    turn.start(reserveRequestSlot(notBefore));
    const bool carriedOn = run(loop);
    if (reply)
        QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (!carriedOn || timedOut || tooLong || !reply || !reply->isFinished()) {
        if (reply)
            reply->abort();
        if (carriedOn && timedOut)
            fail(QStringLiteral("MusicBrainz: The service did not answer within %1 seconds.")
                     .arg(m_timeout / 1000),
                 Kind::Network);
        if (carriedOn && tooLong)
            fail(tooLongText, Kind::BadReply);
        fail(kCancelled, Kind::Cancelled);
    }
    response.body += reply->readAll();
    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (response.status == 404 || response.status == 503)
        return response;
    if (response.body.size() > MusicBrainzReleaseReader::maxReplySize)
        fail(tooLongText, Kind::BadReply);
    // An HTTP status says the service answered, and no; without one the connection failed.
    if (reply->error() != QNetworkReply::NoError)
        fail(QStringLiteral("MusicBrainz: %1").arg(reply->errorString()),
             response.status != 0 ? Kind::Refused : Kind::Network);
    if (response.status != 200)
        fail(QStringLiteral("MusicBrainz: The service answered with HTTP status %1.").arg(response.status),
             Kind::Refused);
    return response;
}
