#include "cddbserver.h"

#include "cddbsession.h"
#include "loopbackhttpserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CddbServer::CddbServer(QString root) : m_root(std::move(root)) {}

CddbServer::~CddbServer()
{
    stop();
}

void CddbServer::answer(const QString& command, const QByteArray& reply)
{
    m_rules.push_back({command.toLower(), Action::Reply, reply.endsWith('\n') ? reply : reply + "\r\n"});
}

void CddbServer::fallSilentAt(const QString& command)
{
    m_rules.push_back({command.toLower(), Action::Silent, {}});
}

void CddbServer::closeAt(const QString& command, int afterBytes)
{
    m_rules.push_back({command.toLower(), Action::Close, {}, afterBytes});
}

void CddbServer::splitReplies(int chunkBytes, int pauseMilliseconds)
{
    m_chunkBytes = chunkBytes;
    m_pause = pauseMilliseconds;
}

const CddbServer::Rule* CddbServer::ruleFor(const QString& line) const
{
    const QString text = line.simplified().toLower();
    for (const Rule& rule : m_rules) {
        if (text == rule.command || text.startsWith(rule.command + QLatin1Char(' ')))
            return &rule;
    }
    return nullptr;
}

bool CddbServer::listen(const QString& address, quint16 port, quint16 httpPort)
{
    sockaddr_storage local{};
    auto& v4 = reinterpret_cast<sockaddr_in&>(local);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(local);
    const QByteArray text = address.toLatin1();
    socklen_t length = 0;
    if (inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        length = sizeof v4;
    } else if (inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        length = sizeof v6;
    } else {
        m_error = QStringLiteral("not an IP address: %1").arg(address);
        return false;
    }
    // One listener on the port asked for; the port it got.
    const auto listenOn = [&](quint16 wanted, int* fd) -> std::optional<quint16> {
        sockaddr_storage bound = local;
        auto& port4 = reinterpret_cast<sockaddr_in&>(bound).sin_port;
        auto& port6 = reinterpret_cast<sockaddr_in6&>(bound).sin6_port;
        (bound.ss_family == AF_INET6 ? port6 : port4) = htons(wanted);
        *fd = ::socket(bound.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (*fd < 0 || ::setsockopt(*fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
            ::bind(*fd, reinterpret_cast<sockaddr*>(&bound), length) < 0 || ::listen(*fd, 16) < 0) {
            m_error = QStringLiteral("cannot listen on %1:%2: %3")
                          .arg(address)
                          .arg(wanted)
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return std::nullopt;
        }
        socklen_t size = sizeof bound;
        ::getsockname(*fd, reinterpret_cast<sockaddr*>(&bound), &size);
        return ntohs(bound.ss_family == AF_INET6 ? port6 : port4);
    };
    const auto cddbp = listenOn(port, &m_listenFd);
    const auto http = cddbp ? listenOn(httpPort, &m_httpListenFd) : std::nullopt;
    if (!http || ::pipe2(m_wake, O_CLOEXEC) < 0) {
        if (http)
            m_error =
                QStringLiteral("cannot make a pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    m_address = address;
    m_port = *cddbp;
    m_httpPort = *http;
    m_acceptor = std::thread([this] { acceptLoop(); });
    return true;
}

QString CddbServer::cgiUrl() const
{
    const QString host = m_address.contains(QLatin1Char(':')) ? u'[' + m_address + u']' : m_address;
    return QStringLiteral("http://%1:%2%3").arg(host).arg(m_httpPort).arg(QLatin1String(cgiPath));
}

void CddbServer::answerHttp(int status, const QByteArray& body, const QByteArray& headers)
{
    m_httpStatus = status;
    m_httpBody = body;
    m_httpHeaders = headers;
}

void CddbServer::stop()
{
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "x", 1);
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::vector<Connection> clients;
    {
        std::lock_guard lock(m_mutex);
        clients.swap(m_clients);
    }
    for (Connection& client : clients)
        client.thread.join();
    for (int* fd : {&m_listenFd, &m_httpListenFd, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QList<QByteArray> CddbServer::receivedLines() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

QList<QByteArray> CddbServer::requestLines() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool CddbServer::waitReadable(int fd, int milliseconds) const
{
    pollfd entries[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, milliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && !(entries[1].revents & POLLIN) && entries[0].revents;
    }
}

void CddbServer::acceptLoop()
{
    for (;;) {
        pollfd entries[3] = {{m_listenFd, POLLIN, 0}, {m_httpListenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = ::poll(entries, 3, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || entries[2].revents)
            return;
        for (const pollfd& entry : {entries[0], entries[1]}) {
            if (!entry.revents)
                continue;
            const int fd = ::accept4(entry.fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            const bool http = entry.fd == m_httpListenFd;
            ++m_connections;
            auto done = std::make_shared<std::atomic<bool>>(false);
            std::lock_guard lock(m_mutex);
            // Finished connections are joined here so that a long-running server does not pile them up.
            std::erase_if(m_clients, [](Connection& client) {
                if (!client.done->load())
                    return false;
                client.thread.join();
                return true;
            });
            m_clients.push_back({std::thread([this, fd, done, http] {
                                     if (http)
                                         serveHttp(fd);
                                     else
                                         serve(fd);
                                     ::close(fd);
                                     done->store(true);
                                 }),
                                 done});
        }
    }
}

bool CddbServer::send(int fd, const QByteArray& bytes)
{
    const qsizetype step = m_chunkBytes > 0 ? m_chunkBytes : bytes.size();
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        if (at > 0 && m_pause > 0) {
            pollfd wake{m_wake[0], POLLIN, 0};
            if (::poll(&wake, 1, m_pause) > 0)
                return false;
        }
        const QByteArray piece = bytes.mid(at, step);
        for (qsizetype sent = 0; sent < piece.size();) {
            const ssize_t n = ::send(fd, piece.constData() + sent, size_t(piece.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += n;
        }
    }
    return true;
}

void CddbServer::serve(int fd)
{
    const CddbDatabase database(m_root);
    CddbSession session(database, m_serverName, m_bannerCode, m_highestLevel);
    bool silent = false;

    auto respond = [&](const Rule* rule, const QByteArray& ownReply, bool close) {
        if (!rule)
            return send(fd, ownReply) && !close;
        switch (rule->action) {
        case Action::Reply:
            return send(fd, rule->reply) && !close;
        case Action::Silent:
            silent = true;
            return true;
        case Action::Close:
            send(fd, ownReply.left(rule->afterBytes));
            return false;
        }
        return false;
    };

    if (!respond(ruleFor(QStringLiteral("banner")), session.banner(), false))
        return;
    QByteArray pending;
    char chunk[4096];
    while (waitReadable(fd)) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        pending.append(chunk, n);
        // No command comes near this; a client that sends no line ends is not speaking CDDB.
        if (pending.size() > 65536 && !pending.contains('\n'))
            return;
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QByteArray raw = pending.left(end + 1);
            pending.remove(0, end + 1);
            {
                std::lock_guard lock(m_mutex);
                m_received.append(raw);
            }
            if (silent)
                continue;
            // Clients send UTF-8; a line that is not is taken byte for byte.
            const QString line = CddbDatabase::decode(raw.trimmed());
            if (line.isEmpty())
                continue;
            const CddbSession::Reply reply = session.handle(line);
            if (!respond(ruleFor(line), reply.bytes, reply.close))
                return;
        }
    }
}

namespace {
// A query value: "+" for a space, then percent-decoded; clients send UTF-8.
QString queryValue(const QByteArray& query, const QByteArray& key)
{
    for (const QByteArray& item : query.split('&')) {
        if (item.startsWith(key + '='))
            return CddbDatabase::decode(
                QByteArray::fromPercentEncoding(item.mid(key.size() + 1).replace('+', ' ')));
    }
    return QString();
}
} // namespace

bool CddbServer::sendHttp(int fd, int status, const QByteArray& body, const QByteArray& headers, int cutAt)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + LoopbackHttpServer::reasonPhrase(status) + "\r\n" + headers;
    if (cutAt < 0)
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return send(fd, head + (cutAt < 0 ? body : body.left(cutAt)));
}

void CddbServer::waitForHangUp(int fd) const
{
    char chunk[4096];
    while (waitReadable(fd)) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EINTR))
            return;
    }
}

void CddbServer::serveHttp(int fd)
{
    QByteArray head;
    char chunk[4096];
    while (!head.contains("\r\n\r\n") && !head.contains("\n\n")) {
        if (!waitReadable(fd))
            return;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || head.size() > 65536)
            return;
        head.append(chunk, n);
        // A request begins with its method; anything else (a TLS greeting) is no HTTP to answer.
        if (head.at(0) < 'A' || head.at(0) > 'Z')
            return;
    }
    const QByteArray requestLine = head.left(head.indexOf('\n')).trimmed();
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(requestLine);
    }
    const QList<QByteArray> words = requestLine.split(' ');
    const QByteArray target = words.value(1);
    const qsizetype mark = target.indexOf('?');
    const QByteArray path = target.left(mark);
    const QByteArray query = mark < 0 ? QByteArray() : target.mid(mark + 1);
    const QByteArray plain = "Content-Type: text/plain; charset=UTF-8\r\n";
    if (words.value(0) != "GET") {
        sendHttp(fd, 405, "Only GET is served here.\n", plain);
        return;
    }
    if (path != cgiPath) {
        sendHttp(fd, 404, "<html><body>Not found</body></html>\n", "Content-Type: text/html\r\n");
        return;
    }
    if (m_httpStatus != 0) {
        sendHttp(fd, m_httpStatus, m_httpBody, m_httpHeaders);
        return;
    }

    // As the CGI does: greet, set the level, then the command; the first reply that is not a
    // success answers the request.
    const CddbDatabase database(m_root);
    CddbSession session(database, m_serverName, m_bannerCode, m_highestLevel);
    const QString hello = queryValue(query, "hello");
    const QString level = queryValue(query, "proto");
    QStringList lines;
    if (!hello.isEmpty())
        lines << QStringLiteral("cddb hello ") + hello;
    if (!level.isEmpty())
        lines << QStringLiteral("proto ") + level;
    lines << queryValue(query, "cmd");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const bool last = i == lines.size() - 1;
        const QByteArray own = session.handle(line).bytes;
        const Rule* rule = ruleFor(line);
        if (rule && rule->action == Action::Silent) {
            waitForHangUp(fd);
            return;
        }
        if (rule && rule->action == Action::Close) {
            sendHttp(fd, 200, own, plain, rule->afterBytes);
            return;
        }
        const QByteArray reply = rule ? rule->reply : own;
        const bool succeeded = reply.startsWith('2') || reply.startsWith("502 Protocol level already");
        if (last || !succeeded) {
            sendHttp(fd, 200, reply, plain);
            return;
        }
    }
}
