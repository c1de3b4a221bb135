// What the lookup's conversation tests cannot bring about on demand: a peer gone while we send,
// a name that does not resolve and a connect that is never answered.
#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
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
