#pragma once

#include <QByteArray>

class AbstractSocket;

// Reads whole CDDB replies from a connected socket, however the bytes arrive: a single-line
// reply ends with its line end, a reply with data lines with its "." line. Every byte is looked
// at once, however many reads a reply takes. The socket's time-outs, deadline and cancellation
// bound every wait.
class CDDBReplyReader {
public:
    // Longest reply accepted; a server that sends more is refused rather than filling memory.
    // The largest entries in the wild are below 1 MB.
    static constexpr qsizetype maxReplySize = 4 * 1024 * 1024;

    explicit CDDBReplyReader(AbstractSocket& socket) : m_socket(socket) {}

    // The next reply's bytes. Throws VeskException when the server closes the connection first
    // or the reply grows too long; socket failures pass through.
    QByteArray readReply();

private:
    AbstractSocket& m_socket;
    // Bytes received behind the last reply (a server may answer ahead of time).
    QByteArray m_pending;
};
