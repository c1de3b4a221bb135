#include "encoder/lame/encodercommandline.h"

#include "common/audiotracklist.h"
#include "common/vesktools.h"

#include <QFileInfo>

namespace {
QString orEmpty(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QString withoutExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
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

QStringList EncoderCommandLine::id3TagArguments(const QString& inputPath, const QString& outputPath,
                                                const QString& sessionTitle, const Album& album,
                                                qsizetype index)
{
    const QString inputName = QFileInfo(inputPath).fileName();
    const QString outputName = QFileInfo(outputPath).fileName();
    const qint32 number = AudioTrackList::trackNumber(inputName);
    // An output name that starts with ".aiff" carries no title of its own: name the track after
    // its input file then.
    const QString title =
        outputName.startsWith(QStringLiteral(".aiff")) ? withoutExtension(inputName) : sessionTitle;
    const QString artist =
        index >= 0 && index < album.getTracks().size() ? album.getTracks()[index].getArtist() : QString();
    return {
        QStringLiteral("--tt"), orEmpty(title),
        QStringLiteral("--tn"), QString::number(number),
        QStringLiteral("--ta"), orEmpty(artist),
        QStringLiteral("--tl"), orEmpty(album.getTitle()),
        QStringLiteral("--ty"), orEmpty(album.getYear()),
        QStringLiteral("--tg"), orEmpty(encoderAcceptsGenre(album.getGenre()) ? album.getGenre() : QString()),
        QStringLiteral("--tc"), orEmpty(album.getComments())};
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
