#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QThread;

// The HTTP side the tests' stand-ins share (MusicBrainz, the AccurateRip database, the Cover Art
// Archive): a server on a loopback address, on a thread of its own so that a client may block,
// that reads each connection's request head and answers it once, with what respond makes of the
// head, then closes. respond runs on the server's thread.
class LoopbackHttpServer {
public:
    using Responder = std::function<QByteArray(const QByteArray& head)>;

    explicit LoopbackHttpServer(Responder respond);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Binds to an IPv4 address and port (0 picks a free one) and starts serving.
    bool listen(const QString& address, quint16 port);
    QString errorString() const { return m_error; }
    // "http://<address>:<port>"
    QString rootUrl() const;
    quint16 port() const { return m_port; }
    void stop();

    // "HTTP/1.1 404 Not Found" and the rest of a whole answer: Content-Type, Content-Length, any
    // extra header lines (each ending in CRLF), "Connection: close", the body.
    static QByteArray response(int status, const QByteArray& body, const QByteArray& contentType,
                               const QByteArray& extraHeaders = {});
    // "Not Found" for 404; "Status" for a code no stand-in sends.
    static QByteArray reasonPhrase(int status);

private:
    class Listener;

    Responder m_respond;
    QString m_error;
    QString m_address;
    quint16 m_port = 0;
    std::unique_ptr<QThread> m_thread;
    Listener* m_listener = nullptr; // lives on m_thread
};
