#pragma once

#include "lookup/cddb/cddbtransport.h"

#include <memory>

class CDDBReplyReader;
class Socket;

// The CDDBP conversation on one TCP connection (port 8880 by default): the server's greeting,
// "cddb hello", the protocol level (6, else 5, else the server's own), then one command line a
// reply, and "quit". Every wait is bounded by the time-out, the deadline and the cancellation.
class CDDBTcpTransport : public CDDBTransport {
public:
    CDDBTcpTransport(QString host, quint16 port);
    ~CDDBTcpTransport() override;

    void open() override;
    QByteArray exchange(const QString& command) override;
    void close() override;

private:
    QByteArray nextReply();

    QString m_hostName;
    quint16 m_port;
    std::unique_ptr<Socket> m_socket;
    std::unique_ptr<CDDBReplyReader> m_reader;
};
