#pragma once

#include <QByteArray>
#include <QString>

class AbstractSocket;

// Reads whole CDDB replies from a connected socket, however the bytes arrive: a single-line
// reply ends with its line end, a reply with data lines with its "." line. The socket's own
// time-out bounds every wait.
class CDDBReplyReader {
public:
    // Longest reply accepted; a server that sends more is refused rather than filling memory.
    static constexpr qsizetype maxReplySize = 1024 * 1024;

    explicit CDDBReplyReader(AbstractSocket& socket) : m_socket(socket) {}

    // The next reply, decoded as ISO 8859-1. Throws VeskException when the server closes the
    // connection first or the reply grows too long; socket failures pass through.
    QString readReply();

private:
    AbstractSocket& m_socket;
    // Bytes received behind the last reply (a server may answer ahead of time).
    QByteArray m_pending;
};
