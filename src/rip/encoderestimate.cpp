#include "rip/encoderestimate.h"

#include <QRegularExpression>

std::optional<EncoderEstimate> EncoderEstimate::fromChunk(const QString& text)
{
    static const QRegularExpression estimate(
        QStringLiteral("(?:^|[ |])(?:(?:(\\d+):)?(\\d+):(\\d\\d)|(\\d+) h)(\\s*)$"));
    const QRegularExpressionMatch match = estimate.match(text);
    if (!match.hasMatch())
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
    result.shown = text.right(qMax<qsizetype>(6, text.size() - start));
    return result;
}
