#include "lookup/coverart/coverartfetch.h"

#include "lookup/musicbrainz/musicbrainzid.h"
#include "lookup/musicbrainz/musicbrainzlookup.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace {
const QString kArchive = QStringLiteral("the Cover Art Archive");

CoverArtFetch::FrontCover none(const QString& problem)
{
    CoverArtFetch::FrontCover cover;
    cover.problem = problem;
    return cover;
}

// Why a request that brought no image failed, in words; status is 0 when no HTTP answer came.
QString failureOf(const QNetworkReply& reply, int status)
{
    switch (reply.error()) {
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("%1 sent more than %2 redirects")
            .arg(kArchive)
            .arg(CoverArtFetch::maxRedirects);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("%1 redirected from https to http, which is not followed").arg(kArchive);
    default:
        break;
    }
    if (status == 404)
        return QStringLiteral("no front cover");
    if (status != 0 && status != 200)
        return QStringLiteral("%1 answered HTTP %2").arg(kArchive).arg(status);
    if (status == 200)
        return QStringLiteral("the connection to %1 broke off: %2").arg(kArchive, reply.errorString());
    return QStringLiteral("%1 cannot be reached: %2").arg(kArchive, reply.errorString());
}
} // namespace

CoverArtFetch::CoverArtFetch(QString root) : m_root(root.trimmed())
{
    while (m_root.endsWith(QLatin1Char('/')))
        m_root.chop(1);
    if (!m_root.contains(QStringLiteral("://")))
        m_root.prepend(QStringLiteral("https://"));
}

QUrl CoverArtFetch::requestUrl(const QString& releaseId) const
{
    return QUrl(QStringLiteral("%1/release/%2/front-500").arg(m_root, releaseId.toLower()));
}

QString CoverArtFetch::imageType(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("image/png");
    return QString();
}

void CoverArtFetch::cancel()
{
    m_loop.cancel();
}

CoverArtFetch::FrontCover CoverArtFetch::fetchFront(const QString& releaseId)
{
    if (!MusicBrainzId::isWellFormed(releaseId))
        return none(QStringLiteral("\"%1\" is no MusicBrainz release id").arg(releaseId.left(64)));
    const QUrl url = requestUrl(releaseId);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https"))
        return none(QStringLiteral("the Cover Art Archive address %1 is no web address").arg(m_root));

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, MusicBrainzLookup::userAgent());
    request.setRawHeader("Accept", "image/jpeg, image/png");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);

    QEventLoop loop;
    QByteArray body;
    bool timedOut = false;
    bool overlong = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The body is taken as it comes, so that no more than the largest image accepted is kept;
    // what comes with a redirect or an error is not the image and is dropped.
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) {
            reply->readAll();
            return;
        }
        body += reply->read(maxImageSize + 1 - body.size());
        if (body.size() > maxImageSize) {
            overlong = true;
            loop.quit();
        }
    });
    timer.start(m_timeout);
    if (reply->isFinished())
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    const bool carriedOn = m_loop.run(loop);
    QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (!carriedOn || timedOut || overlong) {
        reply->abort();
        if (!carriedOn)
            return none(QStringLiteral("the cover fetch was stopped"));
        if (timedOut)
            return none(
                QStringLiteral("%1 did not answer within %2 seconds").arg(kArchive).arg(m_timeout / 1000.0));
        return none(QStringLiteral("the image is larger than %1 MB").arg(maxImageSize / (1024 * 1024)));
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status != 200)
        return none(failureOf(*reply, status));
    body += reply->read(maxImageSize + 1 - body.size());
    if (body.size() > maxImageSize)
        return none(QStringLiteral("the image is larger than %1 MB").arg(maxImageSize / (1024 * 1024)));
    const QString type = imageType(body);
    if (type.isEmpty())
        return none(QStringLiteral("the reply is not a JPEG or PNG image"));
    FrontCover cover;
    cover.image = body;
    cover.mimeType = type;
    return cover;
}
