#include "lookup/cddb/abstractsocket.h"

#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> s_defaultTimeout{30000};

using Kind = VeskException::Kind;

[[noreturn]] void raise(const char* name)
{
    const QString text = QString::fromLatin1(name);
    throw VeskException(text, text, Kind::Network);
}

[[noreturn]] void raise(const char* name, const QString& detail, int error = 0)
{
    const QString text = QString::fromLatin1(name);
    throw VeskException(text, text + QStringLiteral(": ") + detail, Kind::Network, error);
}

[[noreturn]] void raiseErrno(const char* name, int error)
{
    raise(name, QString::fromLocal8Bit(std::strerror(error)), error);
}

[[noreturn]] void raiseCancelled()
{
    const QString text = QStringLiteral("Socket: Cancelled");
    throw VeskException(text, text, Kind::Cancelled);
}

using Clock = std::chrono::steady_clock;

socklen_t lengthOf(const sockaddr_storage& address)
{
    return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// The resolver's IPv6 and IPv4 addresses in its own order, which puts first what is likeliest
// to work from this machine.
std::vector<sockaddr_storage> addressesOf(const addrinfo* found)
{
    std::vector<sockaddr_storage> addresses;
    for (const addrinfo* at = found; at; at = at->ai_next) {
        if ((at->ai_family != AF_INET && at->ai_family != AF_INET6) ||
            at->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        sockaddr_storage address{};
        std::memcpy(&address, at->ai_addr, at->ai_addrlen);
        addresses.push_back(address);
    }
    return addresses;
}

// One name resolution, run on a thread of its own when the caller must be able to stop waiting
// for it: the system resolver cannot be interrupted. Whoever lets go last closes the pipe.
struct Resolution {
    std::mutex mutex;
    int result = EAI_SYSTEM;
    int error = 0;
    std::vector<sockaddr_storage> addresses;
    int pipe[2] = {-1, -1};
    ~Resolution()
    {
        for (const int fd : pipe)
            if (fd >= 0)
                ::close(fd);
    }
    void run(const QByteArray& name, const QByteArray& service, int flags)
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV | flags;
        addrinfo* found = nullptr;
        const int resolved = ::getaddrinfo(name.constData(), service.constData(), &hints, &found);
        const int resolverError = errno;
        std::vector<sockaddr_storage> list =
            resolved == 0 ? addressesOf(found) : std::vector<sockaddr_storage>();
        if (found)
            ::freeaddrinfo(found);
        {
            std::lock_guard lock(mutex);
            error = resolverError;
            result = resolved != 0 ? resolved : list.empty() ? EAI_NONAME : 0;
            addresses = std::move(list);
        }
        if (pipe[1] >= 0)
            (void)!::write(pipe[1], "x", 1);
    }
};

} // namespace

AbstractSocket::AbstractSocket() : m_timeout(s_defaultTimeout.load())
{
    m_socketfd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socketfd < 0)
        raiseErrno("Socket: Can't create socket", errno);
    allocReadBuffer();
}

AbstractSocket::AbstractSocket(int fd, const sockaddr_storage& remote) : m_timeout(s_defaultTimeout.load())
{
    adopt(fd, remote);
    allocReadBuffer();
}

AbstractSocket::~AbstractSocket()
{
    close();
}

void AbstractSocket::adopt(int fd, const sockaddr_storage& remote)
{
    m_socketfd = fd;
    m_family = remote.ss_family;
    m_connected = true;
    m_listening = false;
    m_remoteHostName = dottedIPFromAddress(remote);
    if (remote.ss_family == AF_INET)
        m_remotePort = ntohs(reinterpret_cast<const sockaddr_in&>(remote).sin_port);
    else if (remote.ss_family == AF_INET6)
        m_remotePort = ntohs(reinterpret_cast<const sockaddr_in6&>(remote).sin6_port);
    else
        m_remotePort = 0;
    const int flags = ::fcntl(fd, F_GETFL, 0);
    m_blocking = flags < 0 || !(flags & O_NONBLOCK);
}

int AbstractSocket::defaultTimeout()
{
    return s_defaultTimeout.load();
}

void AbstractSocket::setDefaultTimeout(int milliseconds)
{
    s_defaultTimeout.store(milliseconds);
}

void AbstractSocket::checkDescriptor() const
{
    if (m_socketfd == -1)
        raise("Socket: Bad socket descriptor");
}

void AbstractSocket::checkConnected() const
{
    if (!m_connected)
        raise("Socket: Not connected");
}

bool AbstractSocket::isWaitBounded() const
{
    return m_blocking && (m_timeout > 0 || m_deadline != Clock::time_point::max() || m_cancellation);
}

bool AbstractSocket::waitFor(int fd, short events) const
{
    if (m_cancellation && m_cancellation->isCancelled())
        raiseCancelled();
    if (!isWaitBounded())
        return true;
    Clock::time_point end = m_deadline;
    if (m_timeout > 0)
        end = std::min(end, Clock::now() + std::chrono::milliseconds(m_timeout));
    const int cancelFd = m_cancellation ? m_cancellation->fd() : -1;
    for (;;) {
        int wait = -1;
        if (end != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            wait = int(std::clamp<long long>(left, 0, INT_MAX));
        }
        pollfd entries[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const int ready = ::poll(entries, cancelFd >= 0 ? 2 : 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return true; // the call that follows reports the descriptor's trouble
        if (entries[1].revents != 0 || (m_cancellation && m_cancellation->isCancelled()))
            raiseCancelled();
        if (ready > 0)
            return true;
        if (Clock::now() >= end)
            return false;
    }
}

std::vector<sockaddr_storage> AbstractSocket::resolve(const QString& hostName, std::uint16_t port) const
{
    const QByteArray name = hostName.toUtf8();
    const QByteArray service = QByteArray::number(port);
    // An address written out ("127.0.0.1", "::1") asks no name server and needs no thread.
    Resolution numeric;
    numeric.run(name, service, AI_NUMERICHOST);
    if (numeric.result == 0)
        return numeric.addresses;

    auto job = std::make_shared<Resolution>();
    bool waiting = false;
    if (isWaitBounded() && ::pipe2(job->pipe, O_CLOEXEC) == 0) {
        try {
            std::thread([job, name, service] { job->run(name, service, 0); }).detach();
            waiting = true;
        } catch (const std::system_error&) {
        }
    }
    if (!waiting)
        job->run(name, service, 0);
    else if (!waitFor(job->pipe[0], POLLIN))
        raiseErrno("Socket: Host not found", ETIMEDOUT);
    std::lock_guard lock(job->mutex);
    if (job->result != 0)
        raise("Socket: Host not found", job->result == EAI_SYSTEM
                                            ? QString::fromLocal8Bit(std::strerror(job->error))
                                            : QString::fromLocal8Bit(::gai_strerror(job->result)));
    return job->addresses;
}

void AbstractSocket::replaceDescriptor(int family)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | (m_blocking ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0)
        raiseErrno("Socket: Can't create socket", errno);
    ::close(m_socketfd);
    m_socketfd = fd;
    m_family = family;
}

int AbstractSocket::connectOnce(const sockaddr_storage& address)
{
    // When waits are bounded the connect runs non-blocking underneath so that it can be given up
    // after the time-out instead of the system's minutes.
    const bool timed = isWaitBounded();
    const int flags = ::fcntl(m_socketfd, F_GETFL, 0);
    if (timed && flags >= 0)
        ::fcntl(m_socketfd, F_SETFL, flags | O_NONBLOCK);
    int error = 0;
    if (::connect(m_socketfd, reinterpret_cast<const sockaddr*>(&address), lengthOf(address)) < 0) {
        error = errno;
        if ((timed && error == EINPROGRESS) || error == EINTR) {
            bool ready = true;
            try {
                ready = timed ? waitFor(POLLOUT) : true;
                if (!timed) {
                    pollfd entry{m_socketfd, POLLOUT, 0};
                    while (::poll(&entry, 1, -1) < 0 && errno == EINTR) {
                    }
                }
            } catch (const VeskException&) {
                if (flags >= 0)
                    ::fcntl(m_socketfd, F_SETFL, flags);
                throw;
            }
            socklen_t length = sizeof error;
            if (!ready)
                error = ETIMEDOUT;
            else if (::getsockopt(m_socketfd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                error = errno;
        }
    }
    if (timed && flags >= 0)
        ::fcntl(m_socketfd, F_SETFL, flags);
    return error;
}

void AbstractSocket::connectToHostName(const QString& hostName, std::uint16_t port)
{
    checkDescriptor();
    if (m_connected)
        raise("Socket: Already connected");
    if (m_cancellation && m_cancellation->isCancelled())
        raiseCancelled();

    // The descriptor made with the object serves the first address if it is of its family; every
    // further try gets a new one, as a descriptor whose connect failed cannot be connected again.
    int error = EHOSTUNREACH;
    bool tried = false;
    for (const sockaddr_storage& address : resolve(hostName, port)) {
        if (tried && Clock::now() >= m_deadline)
            break;
        if (tried || address.ss_family != m_family)
            replaceDescriptor(address.ss_family);
        tried = true;
        error = connectOnce(address);
        if (error == 0) {
            m_remoteHostName = hostName;
            m_remotePort = port;
            m_connected = true;
            return;
        }
    }
    raiseErrno("Socket: Connect failed", error);
}

void AbstractSocket::bindTo(std::uint32_t address, std::uint16_t port)
{
    const int on = 1;
    if (::setsockopt(m_socketfd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
        raiseErrno("Socket: Setsockopt failed", errno);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    local.sin_port = htons(port);
    if (::bind(m_socketfd, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0)
        raiseErrno("Socket: Bind failed", errno);
}

void AbstractSocket::listenOnPort(std::uint16_t port)
{
    listenOnPort(port, 5);
}

void AbstractSocket::listenOnPort(std::uint16_t port, std::uint32_t maxPendingConnections)
{
    bindTo(0, port);
    if (::listen(m_socketfd, int(std::min<std::uint32_t>(maxPendingConnections, SOMAXCONN))) < 0)
        raiseErrno("Socket: Listen failed", errno);
    m_listening = true;
}

int AbstractSocket::acceptOne(sockaddr_storage* remote)
{
    checkDescriptor();
    if (m_connected)
        raise("Socket: Already connected");
    if (!m_listening)
        raise("Socket: Not listening");
    for (;;) {
        socklen_t length = sizeof *remote;
        const int fd = ::accept4(m_socketfd, reinterpret_cast<sockaddr*>(remote), &length, SOCK_CLOEXEC);
        if (fd >= 0)
            return fd;
        if (errno != EINTR)
            raiseErrno("Socket: Accept failed", errno);
    }
}

void AbstractSocket::acceptConnection()
{
    sockaddr_storage remote{};
    const int fd = acceptOne(&remote);
    close();
    adopt(fd, remote);
}

void AbstractSocket::close()
{
    if (m_socketfd != -1) {
        ::close(m_socketfd);
        m_socketfd = -1;
    }
    m_remoteHostName = QString();
    m_connected = false;
    m_listening = false;
    m_remotePort = 0;
}

std::int32_t AbstractSocket::readData(QByteArray* buffer)
{
    if (!buffer)
        raise("Socket: Invalid buffer");
    checkDescriptor();
    checkConnected();
    if (!waitFor(POLLIN))
        raiseErrno("Socket: Recv failed", ETIMEDOUT);
    ssize_t received;
    do {
        // The count is handed back as a signed 32-bit number.
        received =
            ::recv(m_socketfd, m_readBuffer.get(), std::min<std::uint32_t>(m_readBufferSize, INT32_MAX), 0);
    } while (received < 0 && errno == EINTR);
    if (received > 0) {
        buffer->append(m_readBuffer.get(), qsizetype(received));
        return std::int32_t(received);
    }
    if (received == 0) {
        close();
        return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return 0;
    raiseErrno("Socket: Recv failed", errno);
}

void AbstractSocket::writeData(const char* data, qsizetype length)
{
    checkDescriptor();
    checkConnected();
    while (length > 0) {
        if (!waitFor(POLLOUT))
            raiseErrno("Socket: Send failed", ETIMEDOUT);
        const ssize_t sent = ::send(m_socketfd, data, size_t(length), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            raiseErrno("Socket: Send failed", errno);
        }
        data += sent;
        length -= sent;
    }
}

void AbstractSocket::writeString(const QString& text)
{
    if (text.isEmpty())
        return;
    writeData(text.toUtf8());
}

bool AbstractSocket::isReadable() const
{
    checkDescriptor();
    checkConnected();
    pollfd entry{m_socketfd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, 0);
    if (ready < 0)
        raiseErrno("Socket: Select failed", errno);
    return ready > 0;
}

bool AbstractSocket::isWritable() const
{
    checkDescriptor();
    checkConnected();
    pollfd entry{m_socketfd, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, 0);
    if (ready < 0)
        raiseErrno("Socket: Select failed", errno);
    return ready > 0;
}

void AbstractSocket::setBlocking(bool blocking)
{
    const int flags = ::fcntl(m_socketfd, F_GETFL, 0);
    if (flags < 0)
        raiseErrno("Socket: Fcntl failed", errno);
    if (::fcntl(m_socketfd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) < 0)
        raiseErrno("Socket: Fcntl failed", errno);
    m_blocking = blocking;
}

void AbstractSocket::setReadBufferSize(std::uint32_t size)
{
    // A receive into no room at all would look like the peer's close.
    m_readBufferSize = size > 0 ? size : 1;
    m_readBuffer.reset();
    allocReadBuffer();
}

void AbstractSocket::allocReadBuffer()
{
    if (m_readBuffer)
        return;
    m_readBuffer.reset(new (std::nothrow) char[m_readBufferSize]);
    if (!m_readBuffer)
        raise("Socket: Malloc failed");
}

QString AbstractSocket::dottedIPFromAddress(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return dottedIPFromAddress(reinterpret_cast<const sockaddr_in&>(address).sin_addr);
    if (address.ss_family == AF_INET6)
        return dottedIPFromAddress(reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
    return QString();
}

QString AbstractSocket::dottedIPFromAddress(const in6_addr& address)
{
    // What an IPv6 listener shows of an IPv4 peer: "::ffff:a.b.c.d" is that IPv4 address.
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        in_addr v4{};
        std::memcpy(&v4, address.s6_addr + 12, sizeof v4);
        return dottedIPFromAddress(v4);
    }
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

QString AbstractSocket::dottedIPFromAddress(const in_addr& address)
{
    const std::uint32_t host = ntohl(address.s_addr);
    return QStringLiteral("%1.%2.%3.%4")
        .arg(host >> 24)
        .arg((host >> 16) & 0xff)
        .arg((host >> 8) & 0xff)
        .arg(host & 0xff);
}
