#include "rip/encoderprogress.h"

#include <QRegularExpression>

QString EncoderProgress::estimateInLine(const QString& line)
{
    // "...|   84.997x|    0:03 " -> "0:03"
    static const QRegularExpression estimate(QStringLiteral("(?:^|[|\\s])((?:\\d+:)?\\d+:\\d\\d)\\s*$"));
    const QRegularExpressionMatch match = estimate.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString EncoderProgress::timeRemaining(const QByteArray& chunk)
{
    // The encoder writes plain ASCII here; Latin-1 keeps every byte as one character.
    const QString text = m_tail + QString::fromLatin1(chunk);
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n]"));
    const QStringList lines = text.split(lineBreak);
    // The last piece may be a report still being written; keep it for the next chunk, unless it
    // is already complete enough to read, which LAME's reports are (they end before the next \r).
    m_tail = lines.last().size() > 4096 ? QString() : lines.last();
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString found = estimateInLine(lines[i]);
        if (!found.isNull()) {
            if (i == lines.size() - 1)
                m_tail.clear(); // read already; do not read it again with the next chunk
            return found;
        }
    }
    return QString();
}
