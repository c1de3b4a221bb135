#include "encoder/lame/encodercommandline.h"

namespace {
QString orEmpty(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
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

QStringList EncoderCommandLine::id3TagArguments(const TrackTags& tags)
{
    return {QStringLiteral("--tt"), orEmpty(tags.title),
            QStringLiteral("--tn"), QString::number(tags.number),
            QStringLiteral("--ta"), orEmpty(tags.artist),
            QStringLiteral("--tl"), orEmpty(tags.album),
            QStringLiteral("--ty"), orEmpty(tags.year),
            QStringLiteral("--tg"), orEmpty(encoderAcceptsGenre(tags.genre) ? tags.genre : QString()),
            QStringLiteral("--tc"), orEmpty(tags.comments)};
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
