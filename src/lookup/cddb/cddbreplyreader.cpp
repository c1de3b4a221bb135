#include "lookup/cddb/cddbreplyreader.h"

#include "common/veskexception.h"
#include "lookup/cddb/abstractsocket.h"
#include "lookup/cddb/cddbreply.h"

#include <algorithm>

namespace {
// Too long or cut off: either way no reply that can be read.
[[noreturn]] void failUnreadable(const QString& text)
{
    throw VeskException(text, text, VeskException::Kind::BadReply);
}
} // namespace

QByteArray CDDBReplyReader::readReply()
{
    QByteArray buffer;
    buffer.swap(m_pending);
    qsizetype statusEnd = -1; // just behind the status line's LF, once it has come
    qsizetype scanFrom = 0;   // where the next search starts: nothing before it is looked at again
    qsizetype length = -1;
    for (;;) {
        if (statusEnd < 0) {
            const qsizetype lf = buffer.indexOf('\n', scanFrom);
            if (lf >= 0) {
                statusEnd = lf + 1;
                scanFrom = lf;
                // Only the status line decides; a line without a space counts as a single line
                // and is refused when its code is taken.
                const QString status = QString::fromLatin1(buffer.left(statusEnd));
                const qint32 code = status.contains(QLatin1Char(' ')) ? CDDBReply::replyCode(status) : 0;
                if (!CDDBReply::hasDataLines(code))
                    length = statusEnd;
            } else {
                scanFrom = buffer.size();
            }
        }
        if (statusEnd >= 0 && length < 0) {
            length = CDDBReply::endOfTerminator(buffer, scanFrom);
            // A terminator may be arriving: its LF lies at most three bytes before the end.
            scanFrom = std::max(scanFrom, buffer.size() - 3);
        }
        if (length >= 0)
            break;
        if (buffer.size() > maxReplySize)
            failUnreadable(QStringLiteral("The server's reply is far too long."));
        if (m_socket.readData(&buffer) == 0)
            failUnreadable(QStringLiteral("The server closed the connection before its reply was complete."));
    }
    m_pending = buffer.mid(length);
    buffer.truncate(length);
    return buffer;
}
