#pragma once

#include <QByteArray>
#include <QString>

// Reads LAME's progress reports out of its merged output. Each report is a line ending in the
// estimated time remaining ("m:ss" or "h:mm:ss"); reports are separated by carriage returns and
// may be mixed with other messages and, without --nohist, a histogram full of terminal escapes.
class EncoderProgress {
public:
    // Feeds one chunk. Returns the estimate of the newest report completed or begun in it, or a
    // null string when the chunk holds none (the line shown stays as it is then). A report split
    // across two chunks is read once its second half arrives.
    QString timeRemaining(const QByteArray& chunk);
    void reset() { m_tail.clear(); }

    // The estimate at the end of one line of output, or a null string.
    static QString estimateInLine(const QString& line);

private:
    QString m_tail;
};
