#include "encoder/lame/lameprogress.h"

#include <QRegularExpression>

std::optional<EncoderEstimate> LameProgress::fromChunk(const QString& text)
{
    static const QRegularExpression estimate(
        QStringLiteral("(?:^|[ |])(?:(?:(\\d+):)?(\\d+):(\\d\\d)|(\\d+) h)(\\s*)$"));
    // The report's end is all that matters; looking no further keeps a long chunk cheap.
    const QString tail = text.right(32);
    const QRegularExpressionMatch match = estimate.match(tail);
    if (text.size() < 6 || !match.hasMatch())
        return std::nullopt;
    EncoderEstimate result;
    if (match.hasCaptured(4)) {
        result.seconds = match.captured(4).toLongLong() * 3600;
    } else {
        result.seconds = match.captured(1).toLongLong() * 3600 + match.captured(2).toLongLong() * 60 +
                         match.captured(3).toLongLong();
    }
    // From the estimate's first digit on, and never less than the six characters shown before.
    const qsizetype start = match.capturedStart(1) >= 0   ? match.capturedStart(1)
                            : match.capturedStart(2) >= 0 ? match.capturedStart(2)
                                                          : match.capturedStart(4);
    result.shown = tail.right(qMax<qsizetype>(6, tail.size() - start));
    // "  400/767    (52%)|    0:00/ ...": the last report's share of the frames.
    static const QRegularExpression share(QStringLiteral("\\(\\s*(\\d{1,3})%\\)"));
    const QString report = text.right(112);
    const qsizetype lastLine = qMax(report.lastIndexOf(QLatin1Char('\r')), report.lastIndexOf(QLatin1Char('\n')));
    QRegularExpressionMatchIterator shares = share.globalMatch(report, qMax<qsizetype>(0, lastLine));
    while (shares.hasNext())
        result.percent = qMin(100, shares.next().captured(1).toInt());
    return result;
}
