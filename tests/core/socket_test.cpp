#include "common/veskexception.h"
#include "net/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace {

// The name and reason of the exception that call raises; empty texts when it raises nothing.
template <typename Call> std::pair<QString, QString> failureOf(Call call)
{
    try {
        call();
    } catch (const VeskException& e) {
        return {e.name(), e.reason()};
    }
    return {};
}

std::uint16_t localPort(const AbstractSocket& socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.socketfd(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A listener on an ephemeral loopback port.
std::unique_ptr<Socket> listener(std::uint32_t backlog = 5)
{
    auto socket = Socket::socket();
    socket->listenOnPort(0, backlog);
    return socket;
}

void waitReadable(const AbstractSocket& socket)
{
    pollfd entry{socket.socketfd(), POLLIN, 0};
    poll(&entry, 1, -1);
}

const QString badDescriptor = QStringLiteral("Socket: Bad socket descriptor");

} // namespace

TEST(Socket, FreshSocketIsOpenButNotConnected)
{
    const auto socket = Socket::socket();
    EXPECT_FALSE(socket->isConnected());
    EXPECT_EQ(socket->remotePort(), 0);
    EXPECT_TRUE(socket->remoteHostName().isNull());
    EXPECT_EQ(socket->readBufferSize(), 4096u);
    EXPECT_GE(socket->socketfd(), 0);
    QByteArray buffer;
    EXPECT_EQ(failureOf([&] { socket->readData(&buffer); }).first, QStringLiteral("Socket: Not connected"));
    EXPECT_EQ(failureOf([&] { socket->acceptConnection(); }).first, QStringLiteral("Socket: Not listening"));
}

TEST(Socket, ConnectsByNameAndExchangesBytesBothWays)
{
    auto server = listener();
    const std::uint16_t port = localPort(*server);
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("localhost"), port);
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(client->remoteHostName(), QStringLiteral("localhost"));
    EXPECT_EQ(client->remotePort(), port);
    EXPECT_EQ(
        failureOf([&] { client->connectToHostName(QStringLiteral("no-such-host.invalid"), port); }).first,
        QStringLiteral("Socket: Already connected"));

    server->acceptConnection();
    EXPECT_TRUE(server->isConnected());
    EXPECT_FALSE(server->isListening());
    EXPECT_EQ(server->remoteHostName(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(server->remotePort(), localPort(*client));
    EXPECT_EQ(failureOf([&] { server->acceptConnection(); }).first,
              QStringLiteral("Socket: Already connected"));

    client->writeString(QString());
    client->writeString(QStringLiteral("quit\n"));
    QByteArray received("kept:");
    EXPECT_EQ(server->readData(&received), 5);
    EXPECT_EQ(received, QByteArray("kept:quit\n"));

    server->writeString(QStringLiteral("Ann\u00e9es\r\n"));
    QByteArray reply;
    waitReadable(*client);
    EXPECT_EQ(client->readData(&reply), 9);
    EXPECT_EQ(reply, QByteArray("Ann\xc3\xa9"
                                "es\r\n"));
}

TEST(Socket, EachReadBringsAtMostTheBufferSize)
{
    auto server = listener();
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*server));
    server->acceptConnection();
    server->writeData(QByteArray(10000, 'x'));

    QByteArray buffer;
    qsizetype total = 0;
    while (total < 4096) {
        waitReadable(*client);
        const int count = client->readData(&buffer);
        ASSERT_GT(count, 0);
        EXPECT_LE(count, 4096);
        total += count;
    }
    client->setReadBufferSize(10);
    EXPECT_EQ(client->readBufferSize(), 10u);
    EXPECT_LE(client->readData(&buffer), 10);
    EXPECT_EQ(buffer, QByteArray(buffer.size(), 'x'));
    // A buffer of no bytes would make every receive look like the peer's close.
    client->setReadBufferSize(0);
    EXPECT_EQ(client->readData(&buffer), 1);
}

TEST(Socket, PeerCloseEndsTheConnectionAndLaterCallsFindNoDescriptor)
{
    auto server = listener();
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*server));
    server->acceptConnection();
    server->close();
    server->close();

    QByteArray buffer("x");
    EXPECT_EQ(client->readData(&buffer), 0);
    EXPECT_EQ(buffer, QByteArray("x"));
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->socketfd(), -1);
    EXPECT_EQ(client->remotePort(), 0);
    EXPECT_EQ(failureOf([&] { client->readData(&buffer); }).first, badDescriptor);
    EXPECT_EQ(failureOf([&] { client->readData(nullptr); }).first, QStringLiteral("Socket: Invalid buffer"));
    EXPECT_EQ(failureOf([&] { client->writeString(QStringLiteral("quit\n")); }).first, badDescriptor);
    EXPECT_EQ(failureOf([&] { client->isReadable(); }).first, badDescriptor);
    EXPECT_EQ(failureOf([&] { client->connectToHostName(QStringLiteral("localhost"), 1); }).first,
              badDescriptor);
    EXPECT_TRUE(failureOf([&] { client->writeString(QString()); }).first.isEmpty());
}

TEST(Socket, SendingToAClosedPeerRaisesInsteadOfEndingTheProcess)
{
    auto server = listener();
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*server));
    server->acceptConnection();
    server->close();

    const auto failure = failureOf([&] {
        for (int i = 0; i < 100; ++i)
            client->writeData(QByteArray(1000, 'y'));
    });
    EXPECT_EQ(failure.first, QStringLiteral("Socket: Send failed"));
    EXPECT_TRUE(failure.second.startsWith(QStringLiteral("Socket: Send failed: ")))
        << failure.second.toStdString();
}

TEST(Socket, ConnectFailuresCarryTheSystemReason)
{
    std::uint16_t closedPort;
    {
        auto gone = listener();
        closedPort = localPort(*gone);
    }
    auto client = Socket::socket();
    const auto refused =
        failureOf([&] { client->connectToHostName(QStringLiteral("127.0.0.1"), closedPort); });
    EXPECT_EQ(refused.first, QStringLiteral("Socket: Connect failed"));
    EXPECT_EQ(refused.second, QStringLiteral("Socket: Connect failed: Connection refused"));
    EXPECT_FALSE(client->isConnected());

    auto other = Socket::socket();
    const auto unknown =
        failureOf([&] { other->connectToHostName(QStringLiteral("no-such-host.invalid"), 8880); });
    EXPECT_EQ(unknown.first, QStringLiteral("Socket: Host not found"));
    EXPECT_TRUE(unknown.second.startsWith(QStringLiteral("Socket: Host not found: ")))
        << unknown.second.toStdString();
    EXPECT_FALSE(other->isConnected());
}

TEST(Socket, SilentPeerEndsReadAndConnectWithTimeOut)
{
    auto server = listener(1);
    const std::uint16_t port = localPort(*server);
    auto client = Socket::socket();
    client->setTimeout(200);
    client->connectToHostName(QStringLiteral("127.0.0.1"), port);
    QByteArray buffer;
    const auto read = failureOf([&] { client->readData(&buffer); });
    EXPECT_EQ(read.first, QStringLiteral("Socket: Recv failed"));
    EXPECT_EQ(read.second, QStringLiteral("Socket: Recv failed: Connection timed out"));

    // Nobody accepts: once the listener's queue is full, further connects are never answered.
    std::vector<std::unique_ptr<Socket>> waiting;
    std::pair<QString, QString> connect;
    for (int i = 0; i < 8 && connect.first.isEmpty(); ++i) {
        waiting.push_back(Socket::socket());
        waiting.back()->setTimeout(200);
        connect = failureOf([&] { waiting.back()->connectToHostName(QStringLiteral("127.0.0.1"), port); });
    }
    EXPECT_EQ(connect.second, QStringLiteral("Socket: Connect failed: Connection timed out"));
}

TEST(Socket, DefaultTimeOutAppliesToNewSockets)
{
    const int previous = AbstractSocket::defaultTimeout();
    EXPECT_EQ(previous, 30000);
    AbstractSocket::setDefaultTimeout(150);
    EXPECT_EQ(Socket::socket()->timeout(), 150);
    AbstractSocket::setDefaultTimeout(previous);
}

TEST(Socket, NonBlockingReadsAndReadinessDoNotWait)
{
    auto server = listener();
    auto client = Socket::socket();
    client->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*server));
    auto accepted = server->acceptConnectionAndKeepListening();
    EXPECT_TRUE(server->isListening());
    EXPECT_EQ(accepted->remoteHostName(), QStringLiteral("127.0.0.1"));

    client->setBlocking(false);
    QByteArray buffer;
    EXPECT_FALSE(client->isReadable());
    EXPECT_TRUE(client->isWritable());
    EXPECT_EQ(client->readData(&buffer), 0);
    EXPECT_TRUE(client->isConnected());

    accepted->writeString(QStringLiteral("201 ready\r\n"));
    waitReadable(*client);
    EXPECT_TRUE(client->isReadable());
    EXPECT_EQ(client->readData(&buffer), 11);

    auto second = Socket::socket();
    second->connectToHostName(QStringLiteral("127.0.0.1"), localPort(*server));
    EXPECT_TRUE(server->acceptConnectionAndKeepListening()->isConnected());
}

TEST(Socket, DottedAddressText)
{
    in_addr address{};
    address.s_addr = htonl(0x7f000203);
    EXPECT_EQ(AbstractSocket::dottedIPFromAddress(address), QStringLiteral("127.0.2.3"));
}
