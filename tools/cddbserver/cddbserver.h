#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A CDDB server on a loopback address for tests and demos. It serves a freedb-style tree of
// entries (see CddbDatabase) and speaks the conversation of freedb's server (see CddbSession),
// one thread per connection, on its CDDBP port, and the same commands over HTTP on a second
// port as the public servers' CGI does: "GET /~cddb/cddb.cgi?cmd=...&hello=...&proto=N", one
// command a request, each greeted and set to its level afresh. It can be told to misbehave:
// answer a command with a given reply, fall silent, hang up, dribble its replies out in small
// pieces, or answer every HTTP request with a status and body of its own.
//
// Commands are named by the first words of their line, case-insensitively ("cddb hello",
// "proto", "cddb query", "cddb read", "quit"); "banner" names the greeting. The rules hold over
// HTTP too, where a hello or proto rule's reply becomes the request's answer. Configure before
// listen().
class CddbServer {
public:
    explicit CddbServer(QString root);
    ~CddbServer();
    CddbServer(const CddbServer&) = delete;
    CddbServer& operator=(const CddbServer&) = delete;

    void setServerName(const QString& name) { m_serverName = name; }
    // 201 for a server that takes no submissions, 200 for one that does.
    void setBannerCode(int code) { m_bannerCode = code; }
    // The highest protocol level spoken, 1 to 6: a level-5 server refuses "proto 6" with 501.
    void setHighestLevel(int level) { m_highestLevel = level; }

    // Sends reply instead of the command's own; a reply without a line end gets CR LF.
    void answer(const QString& command, const QByteArray& reply);
    // From this command on nothing more is answered; the connection stays open.
    void fallSilentAt(const QString& command);
    // Sends the first afterBytes bytes of the command's reply, then closes the connection.
    void closeAt(const QString& command, int afterBytes = 0);
    // Every reply goes out in writes of at most chunkBytes, pauseMilliseconds apart.
    void splitReplies(int chunkBytes, int pauseMilliseconds);
    // Every HTTP request is answered with this status, these header lines (each ending in CR LF)
    // and this body instead of a CDDB reply.
    void answerHttp(int status, const QByteArray& body,
                    const QByteArray& headers = "Content-Type: text/html; charset=UTF-8\r\n");

    // Binds to an IPv4 or IPv6 address ("127.0.0.1", "::1"), to port for CDDBP and httpPort for
    // HTTP (0 picks a free one), and starts serving.
    bool listen(const QString& address = QStringLiteral("127.0.0.1"), quint16 port = 0, quint16 httpPort = 0);
    QString errorString() const { return m_error; }
    QString address() const { return m_address; }
    quint16 port() const { return m_port; }
    quint16 httpPort() const { return m_httpPort; }
    // The address of the CGI on the HTTP port: "http://127.0.0.1:<port>/~cddb/cddb.cgi".
    QString cgiUrl() const;
    static constexpr const char* cgiPath = "/~cddb/cddb.cgi";
    // Closes every connection and stops; the destructor does it too.
    void stop();

    // Every line clients sent over CDDBP, line end included, in arrival order.
    QList<QByteArray> receivedLines() const;
    // The request line of every HTTP request ("GET /~cddb/cddb.cgi?... HTTP/1.1"), without its line end.
    QList<QByteArray> requestLines() const;
    int connectionCount() const { return m_connections.load(); }

private:
    enum class Action { Reply, Silent, Close };
    struct Rule {
        QString command;
        Action action;
        QByteArray reply;
        int afterBytes = 0;
    };
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    const Rule* ruleFor(const QString& line) const;
    void acceptLoop();
    void serve(int fd);
    void serveHttp(int fd);
    // One HTTP answer; without a length when cutAt is not negative, as a server that hangs up
    // after cutAt bytes of the body sends it.
    bool sendHttp(int fd, int status, const QByteArray& body, const QByteArray& headers, int cutAt = -1);
    // Waits until the peer hangs up or the server stops.
    void waitForHangUp(int fd) const;
    // False once the peer is gone or the server stops.
    bool send(int fd, const QByteArray& bytes);
    // Waits for fd to become readable; false when the server stops first.
    bool waitReadable(int fd, int milliseconds = -1) const;

    QString m_root;
    QString m_serverName = QStringLiteral("localhost");
    int m_bannerCode = 201;
    int m_highestLevel = 6;
    std::vector<Rule> m_rules;
    int m_chunkBytes = 0;
    int m_pause = 0;
    int m_httpStatus = 0;
    QByteArray m_httpBody;
    QByteArray m_httpHeaders;

    QString m_error;
    QString m_address;
    quint16 m_port = 0;
    quint16 m_httpPort = 0;
    int m_listenFd = -1;
    int m_httpListenFd = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_acceptor;
    mutable std::mutex m_mutex; // guards m_received, m_requests and m_clients
    std::vector<Connection> m_clients;
    QList<QByteArray> m_received;
    QList<QByteArray> m_requests;
    std::atomic<int> m_connections{0};
};
