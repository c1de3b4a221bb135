#include "cddbserver.h"

#include "cddbsession.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
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

bool CddbServer::listen(const QString& address, quint16 port)
{
    sockaddr_storage local{};
    auto& v4 = reinterpret_cast<sockaddr_in&>(local);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(local);
    const QByteArray text = address.toLatin1();
    socklen_t length = 0;
    if (inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        length = sizeof v4;
    } else if (inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        length = sizeof v6;
    } else {
        m_error = QStringLiteral("not an IP address: %1").arg(address);
        return false;
    }
    m_listenFd = ::socket(local.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (m_listenFd < 0 || ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&local), length) < 0 || ::listen(m_listenFd, 16) < 0 ||
        ::pipe2(m_wake, O_CLOEXEC) < 0) {
        m_error = QStringLiteral("cannot listen on %1:%2: %3")
                      .arg(address)
                      .arg(port)
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    length = sizeof local;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&local), &length);
    m_address = address;
    m_port = ntohs(local.ss_family == AF_INET6 ? v6.sin6_port : v4.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
    return true;
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
    for (int* fd : {&m_listenFd, &m_wake[0], &m_wake[1]}) {
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
    while (waitReadable(m_listenFd)) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
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
        m_clients.push_back({std::thread([this, fd, done] {
                                 serve(fd);
                                 ::close(fd);
                                 done->store(true);
                             }),
                             done});
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
