#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <netinet/in.h>

class Cancellation;

// One IPv4 TCP stream socket descriptor: connects to a named host, sends bytes or text, receives
// into a caller's buffer, and can listen and accept. Every failure is raised as a VeskException
// whose name and reason begin with "Socket: ", of the kind Network, or Cancelled when a
// cancellation ended it.
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
    // Adopts the descriptor of an already connected socket whose peer is remote.
    AbstractSocket(int fd, const sockaddr_in& remote);
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

    static QString dottedIPFromAddress(const in_addr& address);

protected:
    // Accepts one connection on the listening descriptor after the guards; returns its descriptor.
    int acceptOne(sockaddr_in* remote);

private:
    void adopt(int fd, const sockaddr_in& remote);
    void checkDescriptor() const;
    void checkConnected() const;
    // Waits until fd is ready for events; false when the time-out or the deadline passes first.
    // Raises "Socket: Cancelled" when cancelled meanwhile.
    bool waitFor(int fd, short events) const;
    bool waitFor(short events) const { return waitFor(m_socketfd, events); }
    // Whether waits end by themselves: a time-out, a deadline or a cancellation is set.
    bool isWaitBounded() const;
    in_addr resolve(const QString& hostName) const;

    bool m_connected = false;
    bool m_listening = false;
    bool m_blocking = true;
    std::unique_ptr<char[]> m_readBuffer;
    std::uint32_t m_readBufferSize = defaultReadBufferSize;
    QString m_remoteHostName;
    std::uint16_t m_remotePort = 0;
    int m_socketfd = -1;
    int m_timeout;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    std::shared_ptr<const Cancellation> m_cancellation;
};
