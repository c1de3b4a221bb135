#pragma once

#include "loopbackhttpserver.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <mutex>

// A web server on a loopback address that serves the files of a folder by their paths, for the
// stand-ins of the AccurateRip database and the Cover Art Archive in tests and the demo. GET
// /a/b.bin answers with <folder>/a/b.bin, 404 when there is none; redirects and one-off answers
// (an error, a web page, a huge body) can be set. Each connection is answered once and closed.
// It runs on a thread of its own, so that a client may block.
class StaticWebServer {
public:
    struct Request {
        QByteArray method;
        QByteArray target; // path and query as sent
    };

    explicit StaticWebServer(QString folder);
    ~StaticWebServer();
    StaticWebServer(const StaticWebServer&) = delete;
    StaticWebServer& operator=(const StaticWebServer&) = delete;

    // A request for path (without the query) is sent on to location with this status.
    void addRedirect(const QString& path, const QString& location, int status = 307);
    // The next request is answered with this instead of its file; answers go in queue order.
    void queueAnswer(int status, const QByteArray& body, const QByteArray& contentType = "text/html");

    bool listen(const QString& address = QStringLiteral("127.0.0.1"), quint16 port = 0)
    {
        return m_server.listen(address, port);
    }
    QString errorString() const { return m_server.errorString(); }
    // "http://<address>:<port>"
    QString rootUrl() const { return m_server.rootUrl(); }
    void stop() { m_server.stop(); }
    QList<Request> requests() const;

private:
    QByteArray respond(const QByteArray& head);

    QString m_folder;
    mutable std::mutex m_mutex; // guards what follows
    QHash<QString, std::pair<QString, int>> m_redirects;
    struct Answer {
        int status;
        QByteArray body;
        QByteArray contentType;
    };
    QList<Answer> m_answers;
    QList<Request> m_requests;
    LoopbackHttpServer m_server{[this](const QByteArray& head) { return respond(head); }}; // stopped first
};
