#include "lookup/cddb/cddbtcptransport.h"

#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/cddbfailure.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/cddbreplyreader.h"
#include "lookup/cddb/socket.h"
#include "lookup/lookuperror.h"

namespace {
using Kind = VeskException::Kind;
} // namespace

CDDBTcpTransport::CDDBTcpTransport(QString host, quint16 port) : m_hostName(std::move(host)), m_port(port) {}

// The socket closes itself with the transport, whichever way the conversation ended.
CDDBTcpTransport::~CDDBTcpTransport() = default;

QByteArray CDDBTcpTransport::nextReply()
{
    m_socket->setDeadline(m_deadline);
    return m_reader->readReply();
}

void CDDBTcpTransport::open()
{
    m_socket = Socket::socket();
    if (m_timeout > 0)
        m_socket->setTimeout(m_timeout);
    m_socket->setDeadline(m_deadline);
    m_socket->setCancellation(m_cancellation);
    // Entries run to hundreds of kilobytes: fewer, larger receives.
    m_socket->setReadBufferSize(64 * 1024);
    try {
        m_socket->connectToHostName(m_hostName, m_port);
    } catch (const VeskException& failure) {
        if (failure.kind() != Kind::Network)
            throw;
        throw LookupError(CDDBFailure::unreachable(failure, m_hostName, m_port));
    }
    m_reader = std::make_unique<CDDBReplyReader>(*m_socket);
    const auto reply = [this] { return CDDBReply::decode(nextReply()); };

    // A server that will not talk to us (432-434: no connections allowed) says why in its greeting.
    const QString greeting = reply();
    const qint32 greetingCode = CDDBReply::replyCode(greeting);
    if (greetingCode < 200 || greetingCode > 299)
        CDDBFailure::fail(Kind::Refused, QStringLiteral("The server takes no connections now."),
                          CDDBFailure::tryLater, greeting);

    m_socket->writeString(QStringLiteral("cddb hello %1\n").arg(m_hello.join(QLatin1Char(' '))));
    const QString hello = reply();
    switch (CDDBReply::replyCode(hello)) {
    case 402:
        CDDBFailure::fail(Kind::Refused, CDDBFailure::alreadyGreeted, CDDBFailure::tryLater, hello);
    case 431: // handshake not successful
    case 500: // what the public server says to a greeting without a real e-mail address
        CDDBFailure::failGreeting(hello, m_email);
    case 0:
        CDDBFailure::failUnexplained(hello);
    default:
        break;
    }

    // Level 6 is level 5 in UTF-8; level 5 brings year and genre. A server that refuses both
    // still answers at its own level. Either way the replies' bytes tell how they are encoded.
    m_socket->writeString(QStringLiteral("proto 6\n"));
    const QString proto6 = reply();
    const qint32 proto6Code = CDDBReply::replyCode(proto6);
    if (proto6Code != 201 && proto6Code != 502) {
        m_socket->writeString(QStringLiteral("proto 5\n"));
        const QString proto5 = reply();
        if (CDDBReply::replyCode(proto5) == 0)
            CDDBFailure::failUnexplained(proto5);
    }
}

QByteArray CDDBTcpTransport::exchange(const QString& command)
{
    m_socket->setDeadline(m_deadline);
    m_socket->writeString(command + QLatin1Char('\n'));
    return nextReply();
}

void CDDBTcpTransport::close()
{
    try {
        if (m_socket && m_socket->isConnected())
            m_socket->writeString(QStringLiteral("quit\n"));
    } catch (const VeskException&) {
    }
}
