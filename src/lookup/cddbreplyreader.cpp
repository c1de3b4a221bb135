#include "lookup/cddbreplyreader.h"

#include "common/veskexception.h"
#include "lookup/cddbreply.h"
#include "net/abstractsocket.h"

QString CDDBReplyReader::readReply()
{
    QByteArray buffer;
    buffer.swap(m_pending);
    qsizetype length = CDDBReply::completeLength(buffer);
    while (length < 0) {
        if (buffer.size() > maxReplySize) {
            const QString text =
                QStringLiteral("freedb: The server's reply is too long.  Aborting Connection");
            throw VeskException(text, text);
        }
        if (m_socket.readData(&buffer) == 0) {
            const QString text =
                QStringLiteral("freedb: The server closed the connection before its reply was complete.");
            throw VeskException(text, text);
        }
        length = CDDBReply::completeLength(buffer);
    }
    m_pending = buffer.mid(length);
    buffer.truncate(length);
    return QString::fromLatin1(buffer);
}
