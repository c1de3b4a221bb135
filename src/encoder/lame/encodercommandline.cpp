#include "encoder/lame/encodercommandline.h"

#include <algorithm>

namespace {
// Latin-1 text of at most maxBytes: what one ID3v1 field holds.
bool fitsField(const QString& text, qsizetype maxBytes)
{
    return text.size() <= maxBytes &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xff; });
}
} // namespace

QStringList EncoderCommandLine::commonArguments(const std::optional<QStringList>& basicWords,
                                                const QStringList& expertWords)
{
    QStringList arguments;
    for (const QString& word : basicWords ? *basicWords : expertWords) {
        if (!word.isEmpty())
            arguments.append(word);
    }
    arguments << QStringLiteral("--add-id3v2") << QStringLiteral("--disptime") << QStringLiteral("5");
    return arguments;
}

QString EncoderCommandLine::fittedTagValue(const QString& value)
{
    if (value.size() * 3 <= maxTagValueBytes || value.toUtf8().size() <= maxTagValueBytes)
        return value;
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < value.size()) {
        // A surrogate pair is one character: never cut between its halves.
        const qsizetype step = value.at(end).isHighSurrogate() && end + 1 < value.size() ? 2 : 1;
        const qsizetype size = value.mid(end, step).toUtf8().size();
        if (bytes + size > maxTagValueBytes)
            break;
        bytes += size;
        end += step;
    }
    return value.left(end);
}

bool EncoderCommandLine::fitsID3v1(const TrackTags& tags)
{
    // ID3v1.1: 30 bytes of title, artist and album, 4 of year, 28 of comment beside the track.
    return fitsField(tags.title, 30) && fitsField(tags.artist, 30) && fitsField(tags.album, 30) &&
           fitsField(tags.year, 4) && fitsField(tags.comments, 28);
}

QStringList EncoderCommandLine::id3TagArguments(const TrackTags& tags)
{
    QStringList arguments;
    if (!fitsID3v1(tags))
        arguments << QStringLiteral("--id3v2-only");
    const auto add = [&arguments](const char* option, const QString& value) {
        if (!value.isEmpty())
            arguments << QLatin1String(option) << fittedTagValue(value);
    };
    add("--tt", tags.title);
    if (tags.number > 0)
        add("--tn", tags.trackCount >= tags.number ? QStringLiteral("%1/%2").arg(tags.number).arg(tags.trackCount)
                                                   : QString::number(tags.number));
    add("--ta", tags.artist);
    add("--tl", tags.album);
    add("--ty", tags.year);
    add("--tg", encoderAcceptsGenre(tags.genre) ? tags.genre : QString());
    add("--tc", tags.comments);
    if (!tags.albumArtist.isEmpty())
        add("--tv", QStringLiteral("TPE2=") + tags.albumArtist);
    if (!tags.discNumber.isEmpty())
        add("--tv", QStringLiteral("TPOS=") + tags.discNumber);
    if (!tags.isrc.isEmpty())
        add("--tv", QStringLiteral("TSRC=") + tags.isrc);
    return arguments;
}

bool EncoderCommandLine::encoderAcceptsGenre(const QString& genre)
{
    // LAME reads the value with strtol: blanks as C's isspace knows them, a sign, then digits
    // to the very end make it a genre number.
    constexpr qint64 genreCount = 148;
    qsizetype i = 0;
    while (i < genre.size() && (genre[i] == u' ' || (genre[i] >= u'\t' && genre[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < genre.size() && (genre[i] == u'+' || genre[i] == u'-'))
        negative = genre[i++] == u'-';
    const qsizetype digits = i;
    qint64 value = 0;
    for (; i < genre.size() && genre[i] >= u'0' && genre[i] <= u'9'; ++i)
        value = qMin(value * 10 + (genre[i].unicode() - '0'), genreCount);
    if (i == digits || i < genre.size())
        return true; // not a number: a genre name
    return !negative ? value < genreCount : value == 0;
}
