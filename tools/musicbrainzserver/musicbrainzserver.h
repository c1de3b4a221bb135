#pragma once

#include "loopbackhttpserver.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <mutex>


// A stand-in for MusicBrainz's web service on a loopback address, for tests and the demo. It
// answers GET /ws/2/discid/<id>?toc=... with the file <folder>/<id>.json, else the file named
// after the toc parameter (<folder>/<first>+<last>+<lead-out>+<offsets...>.json, standing for
// the service's search by table of contents), else 404 with the service's error body. A request
// without a User-Agent of the form "Name/version ( contact )" gets 403. Each connection is
// answered once and closed. The server runs on a thread of its own, so that a client may block.
class MusicBrainzServer {
public:
    struct Request {
        QByteArray target;    // path and query as sent
        QByteArray userAgent; // empty when there was none
        qint64 msecs;         // arrival, in milliseconds since listen()
    };

    explicit MusicBrainzServer(QString folder);
    ~MusicBrainzServer();
    MusicBrainzServer(const MusicBrainzServer&) = delete;
    MusicBrainzServer& operator=(const MusicBrainzServer&) = delete;

    // The next request not answered otherwise is answered with this status and body (503 with an
    // empty body gets the service's rate-limit text) instead of its file. Answers are used in the
    // order they were queued, one per request.
    void queueAnswer(int status, const QByteArray& body = {});
    // The next request gets its file's first half: a body that is not whole JSON.
    void queueBrokenBody();

    // Binds to an IPv4 address and port (0 picks a free one) and starts serving.
    bool listen(const QString& address = QStringLiteral("127.0.0.1"), quint16 port = 0);
    QString errorString() const { return m_server.errorString(); }
    // "http://<address>:<port>"
    QString rootUrl() const { return m_server.rootUrl(); }
    quint16 port() const { return m_server.port(); }
    // Stops serving; the destructor does it too.
    void stop() { m_server.stop(); }

    QList<Request> requests() const;

private:
    struct Answer {
        int status;
        QByteArray body;
        bool broken;
    };
    // What to send for one request head (runs on the server's thread).
    QByteArray respond(const QByteArray& head);
    QByteArray fileFor(const QByteArray& target) const;

    QString m_folder;
    mutable std::mutex m_mutex;     // guards m_answers and m_requests
    QList<Answer> m_answers;
    QList<Request> m_requests;
    qint64 m_started = 0;
    LoopbackHttpServer m_server{[this](const QByteArray& head) { return respond(head); }}; // stopped first
};
