// What the lookup's conversation tests cannot bring about on demand: a peer gone while we send,
// a name that does not resolve, a connect that is never answered, and peers on IPv6.
#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
struct Failure {
    QString name;
    QString reason;
    VeskException::Kind kind = VeskException::Kind::Other;
};

// What the exception that call raises says; empty texts when it raises nothing.
template <typename Call> Failure failureOf(Call call)
{
    try {
        call();
    } catch (const VeskException& e) {
        return {e.name(), e.reason(), e.kind()};
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
} // namespace

TEST(Socket, SendingToAClosedPeerRaisesInsteadOfEndingTheProcess)
{
    auto server = Socket::socket();
    server->listenOnPort(0, 5);
    auto client = Socket::socket();
    client->connectToHostName(u"localhost"_qs, localPort(*server));
    server->acceptConnection();
    server->close();
    const auto failure = failureOf([&] {
        for (int i = 0; i < 100; ++i)
            client->writeData(QByteArray(1000, 'y'));
    });
    EXPECT_EQ(failure.name, u"Socket: Send failed"_qs);
    EXPECT_TRUE(failure.reason.startsWith(u"Socket: Send failed: "_qs)) << failure.reason.toStdString();
    EXPECT_EQ(failure.kind, VeskException::Kind::Network);
}

TEST(Socket, ConnectFailuresAndTimeOutsCarryTheSystemReason)
{
    // An empty name fails in the resolver itself, without asking any name server.
    const auto unknown = failureOf([&] { Socket::socket()->connectToHostName(QString(), 8880); });
    EXPECT_EQ(unknown.name, u"Socket: Host not found"_qs);
    EXPECT_TRUE(unknown.reason.startsWith(u"Socket: Host not found: "_qs));
    EXPECT_EQ(unknown.kind, VeskException::Kind::Network);

    // A listener whose queue is full never answers: the connect times out.
    auto server = Socket::socket();
    server->listenOnPort(0, 1);
    std::vector<std::unique_ptr<Socket>> waiting;
    Failure connect;
    for (int i = 0; i < 8 && connect.name.isEmpty(); ++i) {
        waiting.push_back(Socket::socket());
        waiting.back()->setTimeout(200);
        connect = failureOf([&] { waiting.back()->connectToHostName(u"127.0.0.1"_qs, localPort(*server)); });
    }
    EXPECT_EQ(connect.reason, u"Socket: Connect failed: Connection timed out"_qs);
    EXPECT_EQ(connect.kind, VeskException::Kind::Network);

    // Stop ends a connect as a cancel, not as a failure of the network.
    auto stopped = Socket::socket();
    auto cancellation = std::make_shared<Cancellation>();
    stopped->setCancellation(cancellation);
    cancellation->cancel();
    const auto cancelled =
        failureOf([&] { stopped->connectToHostName(u"127.0.0.1"_qs, localPort(*server)); });
    EXPECT_EQ(cancelled.name, u"Socket: Cancelled"_qs);
    EXPECT_EQ(cancelled.kind, VeskException::Kind::Cancelled);
}

TEST(Socket, IPv6PeersAreReachedAndNamedByTheirAddress)
{
    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof local;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&local), length) < 0) {
        if (listener >= 0)
            ::close(listener);
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    }
    ASSERT_EQ(::listen(listener, 1), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length);

    // The new socket is an IPv4 one until it connects.
    auto client = Socket::socket();
    client->connectToHostName(u"::1"_qs, ntohs(local.sin6_port));
    EXPECT_EQ(client->remoteHostName(), u"::1"_qs);
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
    ::close(listener);
    ASSERT_GE(fd, 0);
    Socket accepted(fd, peer);
    EXPECT_EQ(accepted.remoteHostName(), u"::1"_qs);
    EXPECT_NE(accepted.remotePort(), 0);
    client->writeString(u"quit\n"_qs);
    QByteArray received;
    accepted.readData(&received);
    EXPECT_EQ(received, QByteArray("quit\n"));

    // An IPv4 peer of an IPv6 listener is shown as the IPv4 address it is.
    in6_addr mapped{};
    ASSERT_EQ(::inet_pton(AF_INET6, "::ffff:127.0.0.9", &mapped), 1);
    EXPECT_EQ(AbstractSocket::dottedIPFromAddress(mapped), u"127.0.0.9"_qs);
}
