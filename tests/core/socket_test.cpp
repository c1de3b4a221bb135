#include "common/veskexception.h"
#include "net/cancellation.h"
#include "net/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

// The name of the exception that call raises and its reason; empty texts when it raises nothing.
template <typename Call> std::pair<QString, QString> failureOf(Call call)
{
    try {
        call();
    } catch (const VeskException& e) {
        return {e.name(), e.reason()};
    }
    return {};
}
template <typename Call> QString nameOf(Call call)
{
    return failureOf(call).first;
}

std::uint16_t localPort(const AbstractSocket& socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.socketfd(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

std::unique_ptr<Socket> listener(std::uint32_t backlog = 5)
{
    auto socket = Socket::socket();
    socket->listenOnPort(0, backlog);
    return socket;
}

// A client connected to a listener that has become the accepted connection.
std::pair<std::unique_ptr<Socket>, std::unique_ptr<Socket>> connectedPair()
{
    auto server = listener();
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*server));
    server->acceptConnection();
    return {std::move(server), std::move(client)};
}

void waitReadable(const AbstractSocket& socket)
{
    pollfd entry{socket.socketfd(), POLLIN, 0};
    poll(&entry, 1, -1);
}

const QString badDescriptor = QStringLiteral("Socket: Bad socket descriptor");
const QString already = QStringLiteral("Socket: Already connected");

} // namespace

TEST(Socket, ConnectsByNameAndExchangesBytesWithinTheBufferSize)
{
    auto server = listener();
    QByteArray buffer;
    const std::uint16_t port = localPort(*server);
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("localhost"), port);
    EXPECT_EQ(client->remotePort(), port);
    EXPECT_EQ(nameOf([&] { client->connectToHostName(QStringLiteral("localhost"), port); }), already);
    server->acceptConnection();
    EXPECT_FALSE(server->isListening());
    EXPECT_EQ(server->remoteHostName(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(nameOf([&] { server->acceptConnection(); }), already);

    client->writeString(QString());
    client->writeString(QStringLiteral("Ann\u00e9es\r\n"));
    QByteArray received("kept:");
    EXPECT_EQ(server->readData(&received), 9);
    EXPECT_EQ(received, QByteArray("kept:Ann\xc3\xa9"
                                   "es\r\n"));

    // Each read brings at most the buffer size; a buffer of no bytes still reads one.
    server->writeData(QByteArray(10000, 'x'));
    buffer.clear();
    while (buffer.size() < 4096) {
        waitReadable(*client);
        const int count = client->readData(&buffer);
        ASSERT_GT(count, 0);
        EXPECT_LE(count, 4096);
    }
    client->setReadBufferSize(0);
    EXPECT_EQ(client->readData(&buffer), 1);
    EXPECT_EQ(buffer, QByteArray(buffer.size(), 'x'));
}

TEST(Socket, PeerCloseEndsTheConnectionAndLaterCallsFindNoDescriptor)
{
    auto [server, client] = connectedPair();
    server->close();
    server->close();
    QByteArray buffer("x");
    EXPECT_EQ(client->readData(&buffer), 0);
    EXPECT_EQ(buffer, QByteArray("x"));
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->socketfd(), -1);
    EXPECT_EQ(nameOf([&] { client->readData(&buffer); }), badDescriptor);
    EXPECT_EQ(nameOf([&] { client->readData(nullptr); }), QStringLiteral("Socket: Invalid buffer"));
    EXPECT_EQ(nameOf([&] { client->writeString(QStringLiteral("quit\n")); }), badDescriptor);
    EXPECT_EQ(nameOf([&] { client->connectToHostName(QStringLiteral("localhost"), 1); }), badDescriptor);

    // Sending to a closed peer raises instead of ending the process.
    auto [server2, client2] = connectedPair();
    server2->close();
    const auto failure = failureOf([&] {
        for (int i = 0; i < 100; ++i)
            client2->writeData(QByteArray(1000, 'y'));
    });
    EXPECT_EQ(failure.first, QStringLiteral("Socket: Send failed"));
    EXPECT_TRUE(failure.second.startsWith(QStringLiteral("Socket: Send failed: ")))
        << failure.second.toStdString();
}

TEST(Socket, ConnectFailuresAndTimeOutsCarryTheSystemReason)
{
    // An empty name fails in the resolver itself, without asking any name server.
    const auto unknown = failureOf([&] { Socket::socket()->connectToHostName(QString(), 8880); });
    EXPECT_EQ(unknown.first, QStringLiteral("Socket: Host not found"));
    EXPECT_TRUE(unknown.second.startsWith(QStringLiteral("Socket: Host not found: ")));

    // Refused connects and silent peers are seen through the lookup; a full queue times out.
    auto server = listener(1);
    const std::uint16_t port = localPort(*server);
    std::vector<std::unique_ptr<Socket>> waiting;
    std::pair<QString, QString> connect;
    for (int i = 0; i < 8 && connect.first.isEmpty(); ++i) {
        waiting.push_back(Socket::socket());
        waiting.back()->setTimeout(200);
        connect = failureOf([&] { waiting.back()->connectToHostName(QStringLiteral("127.0.0.1"), port); });
    }
    EXPECT_EQ(connect.second, QStringLiteral("Socket: Connect failed: Connection timed out"));
}

TEST(Socket, ADeadlineOrACancellationEndsAnyWait)
{
    // The deadline passes long before the 30 s time-out; a cancellation from another thread
    // ends a wait with no time-out at all.
    auto [server, client] = connectedPair();
    QByteArray buffer;
    client->setDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
    EXPECT_EQ(failureOf([&] { client->readData(&buffer); }).second,
              QStringLiteral("Socket: Recv failed: Connection timed out"));

    auto [server2, client2] = connectedPair();
    auto cancellation = std::make_shared<Cancellation>();
    client2->setTimeout(0);
    client2->setCancellation(cancellation);
    std::thread canceller([cancellation] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancellation->cancel();
    });
    EXPECT_EQ(nameOf([&] { client2->readData(&buffer); }), QStringLiteral("Socket: Cancelled"));
    canceller.join();
    // Raised before a connect: the connect does not happen.
    auto open = listener();
    auto late = Socket::socket();
    late->setCancellation(cancellation);
    EXPECT_EQ(nameOf([&] { late->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*open)); }),
              QStringLiteral("Socket: Cancelled"));
    EXPECT_FALSE(late->isConnected());
}
