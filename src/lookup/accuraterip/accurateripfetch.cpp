#include "lookup/accuraterip/accurateripfetch.h"

#include "lookup/accuraterip/accuraterippressing.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

AccurateRipFetch::AccurateRipFetch(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(timeoutMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        end(false, {}, QStringLiteral("AccurateRip did not answer within %1 seconds").arg(m_timer.interval() / 1000));
    });
}

AccurateRipFetch::~AccurateRipFetch()
{
    cancel();
}

void AccurateRipFetch::start(const QString& baseUrl, const AccurateRipDiscId& disc)
{
    QString base = baseUrl.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    m_url = base + QLatin1Char('/') + disc.path();
    const QUrl url(m_url);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
        QMetaObject::invokeMethod(
            this, [this] { end(false, {}, QStringLiteral("the AccurateRip address %1 is no web address").arg(m_url)); },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Vesk/%1").arg(QStringLiteral(VESK_VERSION)));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    m_reply = m_network->get(request);
    m_data.clear();
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        m_data += m_reply->readAll();
        // No disc's file comes near this; anything larger is not one.
        if (m_data.size() > AccurateRipPressing::maxFileBytes)
            end(false, {}, QStringLiteral("AccurateRip's reply is larger than any disc's file (over %1 KB)")
                               .arg(AccurateRipPressing::maxFileBytes / 1024));
    });
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        if (!m_reply)
            return;
        m_data += m_reply->readAll();
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 404 || (m_reply->error() == QNetworkReply::NoError && m_data.isEmpty()))
            end(false, {}, QString());
        else if (m_reply->error() != QNetworkReply::NoError)
            end(false, {},
                status > 0 ? QStringLiteral("AccurateRip answered HTTP %1").arg(status)
                           : QStringLiteral("AccurateRip cannot be reached: %1").arg(m_reply->errorString()));
        else if (m_data.size() > AccurateRipPressing::maxFileBytes)
            end(false, {}, QStringLiteral("AccurateRip's reply is larger than any disc's file"));
        else
            end(true, m_data, QString());
    });
    m_timer.start();
}

void AccurateRipFetch::cancel()
{
    m_timer.stop();
    if (QNetworkReply* reply = std::exchange(m_reply, nullptr)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void AccurateRipFetch::end(bool known, const QByteArray& data, const QString& problem)
{
    cancel();
    Q_EMIT finished(known, data, problem);
}
