#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

class Cancellation;

// One TCP stream socket descriptor: connects to a named host over IPv6 or IPv4, sends bytes or
// text, receives into a caller's buffer, and can listen and accept (IPv4). Every failure is raised
// as a VeskException whose name and reason begin with "Socket: ", of the kind Network, or
// Cancelled when a cancellation ended it. A failure the system reported carries its error number
// (ECONNREFUSED, ETIMEDOUT, ...); a host name the resolver does not know carries none.
//
// A host name may stand for several addresses; they are tried in the resolver's order until one
// takes the connection, each with the time-out of its own and all within the deadline.
//
// Connecting, each receive and each send wait at most timeout() milliseconds in blocking mode and
// then fail like any other connect, receive or send ("Connection timed out"), so a server that
// stops answering cannot hang the caller. A deadline bounds them all together, name resolution
// included, so that a server trickling one byte at a time cannot either; and a Cancellation
// raised from another thread ends any wait at once with "Socket: Cancelled".
class AbstractSocket {
public:
    static constexpr std::uint32_t defaultReadBufferSize = 4096;

    // A new, unconnected socket.
    AbstractSocket();
    // Adopts the descriptor of an already connected socket whose peer is remote (of any family;
    // remoteHostName is empty for one that has no IP address).
    AbstractSocket(int fd, const sockaddr_storage& remote);
    virtual ~AbstractSocket();
    AbstractSocket(const AbstractSocket&) = delete;
    AbstractSocket& operator=(const AbstractSocket&) = delete;

    void connectToHostName(const QString& hostName, std::uint16_t port);
    // address in host byte order; 0 means any local address.
    void bindTo(std::uint32_t address, std::uint16_t port);
    void listenOnPort(std::uint16_t port);
    void listenOnPort(std::uint16_t port, std::uint32_t maxPendingConnections);
    // This object becomes the accepted connection; the listening descriptor is closed.
    void acceptConnection();
    void close();

    // Appends what one receive brought to buffer. 0 when the peer has closed (the socket then
    // closes itself) or, in non-blocking mode, when nothing was waiting.
    std::int32_t readData(QByteArray* buffer);
    void writeData(const char* data, qsizetype length);
    void writeData(const QByteArray& data) { writeData(data.constData(), data.size()); }
    // Sends the text's UTF-8 bytes; an empty text sends nothing.
    void writeString(const QString& text);

    bool isConnected() const { return m_connected; }
    bool isListening() const { return m_listening; }
    bool isReadable() const;
    bool isWritable() const;
    void setBlocking(bool blocking);

    std::uint32_t readBufferSize() const { return m_readBufferSize; }
    void setReadBufferSize(std::uint32_t size);
    void allocReadBuffer();

    QString remoteHostName() const { return m_remoteHostName; }
    std::uint16_t remotePort() const { return m_remotePort; }
    int socketfd() const { return m_socketfd; }

    // Longest wait in milliseconds for a connect, a receive or a send; 0 or less waits forever.
    int timeout() const { return m_timeout; }
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    // The time-out that new sockets start with (30 s unless changed).
    static int defaultTimeout();
    static void setDefaultTimeout(int milliseconds);

    // The moment after which no wait goes on; none by default.
    void setDeadline(std::chrono::steady_clock::time_point deadline) { m_deadline = deadline; }
    void setCancellation(std::shared_ptr<const Cancellation> cancellation)
    {
        m_cancellation = std::move(cancellation);
    }

    // The address as text: dotted decimal for IPv4 ("127.0.0.1"); the usual form for IPv6
    // ("::1"), where an IPv4 address mapped into IPv6 is shown in dotted decimal. Empty for a
    // socket address that holds no IP address.
    static QString dottedIPFromAddress(const in_addr& address);
    static QString dottedIPFromAddress(const in6_addr& address);
    static QString dottedIPFromAddress(const sockaddr_storage& address);

protected:
    // Accepts one connection on the listening descriptor after the guards; returns its descriptor.
    int acceptOne(sockaddr_storage* remote);

private:
    void adopt(int fd, const sockaddr_storage& remote);
    // A new descriptor of the family in place of the current one, in the same blocking mode.
    void replaceDescriptor(int family);
    // One connect of the descriptor to address, bounded like every wait; the system's error
    // number, 0 on success.
    int connectOnce(const sockaddr_storage& address);
    void checkDescriptor() const;
    void checkConnected() const;
    // Waits until fd is ready for events; false when the time-out or the deadline passes first.
    // Raises "Socket: Cancelled" when cancelled meanwhile.
    bool waitFor(int fd, short events) const;
    bool waitFor(short events) const { return waitFor(m_socketfd, events); }
    // Whether waits end by themselves: a time-out, a deadline or a cancellation is set.
    bool isWaitBounded() const;
    // Every address of the host with port, in the order to try them.
    std::vector<sockaddr_storage> resolve(const QString& hostName, std::uint16_t port) const;

    bool m_connected = false;
    bool m_listening = false;
    bool m_blocking = true;
    std::unique_ptr<char[]> m_readBuffer;
    std::uint32_t m_readBufferSize = defaultReadBufferSize;
    QString m_remoteHostName;
    std::uint16_t m_remotePort = 0;
    int m_socketfd = -1;
    int m_family = AF_INET; // of m_socketfd
    int m_timeout;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    std::shared_ptr<const Cancellation> m_cancellation;
};
