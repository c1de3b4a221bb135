#include "disc/accuraterip/accurateripdiscid.h"

namespace {
QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}
} // namespace

std::optional<AccurateRipDiscId> AccurateRipDiscId::fromSectors(const QList<qint64>& audioStarts,
                                                                qint64 leadout, quint32 cddbId)
{
    if (audioStarts.isEmpty() || audioStarts.size() > 255)
        return std::nullopt;
    AccurateRipDiscId disc;
    disc.audioTracks = int(audioStarts.size());
    disc.cddbId = cddbId;
    qint64 previous = -1;
    for (qsizetype i = 0; i < audioStarts.size(); ++i) {
        const qint64 start = audioStarts[i];
        if (start <= previous || start >= leadout)
            return std::nullopt;
        previous = start;
        // The sums wrap at 32 bits; unsigned arithmetic does exactly that.
        disc.id1 += quint32(start);
        disc.id2 += quint32(start > 0 ? start : 1) * quint32(i + 1);
    }
    disc.id1 += quint32(leadout);
    disc.id2 += quint32(leadout) * quint32(disc.audioTracks + 1);
    return disc;
}

QString AccurateRipDiscId::fileName() const
{
    return QStringLiteral("dBAR-%1.bin").arg(text());
}

QString AccurateRipDiscId::path() const
{
    const QString id = hex8(id1);
    return QStringLiteral("accuraterip/%1/%2/%3/%4").arg(id[7]).arg(id[6]).arg(id[5]).arg(fileName());
}

QString AccurateRipDiscId::text() const
{
    return QStringLiteral("%1-%2-%3-%4")
        .arg(audioTracks, 3, 10, QLatin1Char('0'))
        .arg(hex8(id1), hex8(id2), hex8(cddbId));
}
