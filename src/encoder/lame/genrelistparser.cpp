#include "encoder/lame/genrelistparser.h"

namespace {

bool isLetter(QChar c)
{
    return c.isLetter() || c.isMark();
}

// Blanks and line ends, as skipped between the scanner's steps.
bool isSkippable(QChar c)
{
    return c.isSpace();
}

} // namespace

QString GenreListParser::textFromBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QStringList GenreListParser::parse(const QString& text)
{
    QStringList names;
    const qsizetype end = text.size();
    qsizetype pos = 0;
    for (;;) {
        while (pos < end && isSkippable(text.at(pos)))
            ++pos;
        if (pos == end)
            break;
        if (isLetter(text.at(pos))) {
            // No genre number in front: not an entry. Skipping the whole line keeps the scan moving.
            while (pos < end && text.at(pos) != QLatin1Char('\n'))
                ++pos;
            continue;
        }
        // The genre number and the blanks after it.
        while (pos < end && !isLetter(text.at(pos)))
            ++pos;
        if (pos == end)
            break;
        const qsizetype start = pos;
        while (pos < end && text.at(pos) != QLatin1Char('\n'))
            ++pos;
        qsizetype stop = pos;
        // A CR of a CR LF line end belongs to the line end, not to the name.
        if (stop > start && text.at(stop - 1) == QLatin1Char('\r'))
            --stop;
        if (stop > start)
            names.append(text.mid(start, stop - start));
    }
    return names;
}
