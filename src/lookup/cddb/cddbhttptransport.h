#pragma once

#include "lookup/cddb/cddbtransport.h"

#include <QUrl>
#include <memory>

class QNetworkAccessManager;

// CDDB over HTTP or HTTPS, as the public servers want it of new clients: each command is one GET
// of the server's address with the command, the greeting and the protocol level in the query
// ("?cmd=cddb+query+...&hello=user+host+vesk+v0.6.7&proto=6"), and the body is the command's
// reply as the CDDBP conversation would bring it. A server below level 6 is asked again at 5.
//
// The calls block in a local event loop on the calling thread, which may be a worker thread.
// The time-out bounds each wait for the next bytes, the deadline the whole request; a raised
// cancellation ends it at once. Redirections are followed on the same host only; an HTTP error,
// a web page instead of a reply, a reply cut off or one far too long end the conversation.
class CDDBHttpTransport : public CDDBTransport {
public:
    // The longest body accepted, as the CDDBP reader's longest reply.
    static const qsizetype maxReplySize;
    static constexpr int maxRedirects = 3;

    explicit CDDBHttpTransport(QUrl address);
    ~CDDBHttpTransport() override;

    void open() override;
    QByteArray exchange(const QString& command) override;
    void close() override {}

    // The request for one command at the current protocol level.
    QUrl requestUrl(const QString& command) const;

private:
    // The body of a 2xx answer, checked and cut to the one reply it holds.
    QByteArray fetch(const QUrl& url);
    static QByteArray wholeReply(QByteArray body, const QString& contentType);

    QUrl m_address;
    int m_level = 6;
    bool m_levelSettled = false;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};
