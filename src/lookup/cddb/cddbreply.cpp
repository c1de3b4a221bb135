#include "lookup/cddb/cddbreply.h"

#include "common/printabletext.h"
#include "common/veskexception.h"
#include "common/vesktools.h"
#include "lookup/albumchooser.h"
#include "lookup/cddb/cddbentryparser.h"

#include <QStringDecoder>
#include <limits>
#include <tuple>

namespace {
[[noreturn]] void failUnreadable(const QString& text)
{
    throw VeskException(text, text, VeskException::Kind::BadReply);
}
} // namespace

qsizetype CDDBReply::endOfTerminator(const QByteArray& data, qsizetype from)
{
    for (qsizetype lf = data.indexOf('\n', from); lf >= 0; lf = data.indexOf('\n', lf + 1)) {
        if (data.mid(lf + 1, 3) == ".\r\n")
            return lf + 4;
        if (data.mid(lf + 1, 2) == ".\n")
            return lf + 3;
    }
    return -1;
}

qint32 CDDBReply::replyCode(const QString& reply)
{
    const qsizetype space = reply.indexOf(QLatin1Char(' '));
    if (space < 0)
        failUnreadable(QStringLiteral("The server's reply could not be understood."));
    // The code stands at the very start: a reply that begins with a blank has none.
    if (space == 0 || reply.at(0).isSpace())
        return 0;
    const qint64 code = VeskTools::leadingInteger(reply.left(space));
    const bool fits =
        code >= std::numeric_limits<qint32>::min() && code <= std::numeric_limits<qint32>::max();
    return fits ? qint32(code) : 0;
}

bool CDDBReply::hasDataLines(qint32 code)
{
    return code >= 100 && code <= 999 && (code / 10) % 10 == 1;
}

QStringList CDDBReply::matchLines(const QString& reply)
{
    QStringList lines;
    qsizetype lf = reply.indexOf(QLatin1Char('\n'));
    while (true) {
        if (lf < 0)
            failUnreadable(QStringLiteral("The server's list of matches is incomplete."));
        if (reply.mid(lf + 1, 1) == QLatin1String("."))
            return lines;
        const qsizetype next = reply.indexOf(QLatin1Char('\n'), lf + 1);
        if (next < 0)
            failUnreadable(QStringLiteral("The server's list of matches is incomplete."));
        QString line = reply.mid(lf + 1, next - lf - 1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line);
        lf = next;
    }
}

QString CDDBReply::decode(const QByteArray& bytes)
{
    bool multiByte = false;
    for (const char c : bytes)
        multiByte = multiByte || (static_cast<unsigned char>(c) & 0x80);
    if (!multiByte)
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    // Not UTF-8 after all: ISO 8859-1 reads any byte.
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString CDDBReply::statusLineForPeople(const QString& reply)
{
    QString line;
    for (const QChar c : reply) {
        if (c == QLatin1Char('\n') || line.size() >= 200)
            break;
        if (!isControlCharacter(c))
            line += c;
    }
    return line.trimmed();
}

QString CDDBReply::matchForPeople(const QString& matchLine, bool withDiscId)
{
    // "<category> <disc id> <artist> / <title>"
    const QString words = withoutControls(matchLine.section(QLatin1Char(' '), 2));
    if (words.isEmpty())
        return withControlsEscaped(matchLine);
    // A title without a slash names no artist; "/" alone names nothing, and stays.
    auto [artist, title] = CDDBEntryParser::splitTitle(words);
    if (!words.contains(QLatin1Char('/')) || (artist.isEmpty() && title.isEmpty()))
        std::tie(artist, title) = std::pair{QString(), words};
    const QString category = withoutControls(matchLine.section(QLatin1Char(' '), 0, 0));
    const QString discId =
        withDiscId ? withoutControls(matchLine.section(QLatin1Char(' '), 1, 1)) : QString();
    return AlbumChooser::matchRow(artist, title, {category, discId});
}
