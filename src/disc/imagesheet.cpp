#include "disc/imagesheet.h"

#include <QStringDecoder>

QString ImageSheet::textFromLibcdio(const char* value) const
{
    if (!value)
        return QString();
    const QString text = QString::fromUtf8(value);
    if (!utf8Text)
        return text;
    // Undo libcdio's reading of UTF-8 bytes as Latin-1 characters.
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return text;
    }
    return QString::fromUtf8(text.toLatin1());
}

bool ImageSheet::looksLikeUtf8(const QByteArray& bytes)
{
    bool beyondAscii = false;
    for (const char c : bytes)
        beyondAscii = beyondAscii || static_cast<unsigned char>(c) >= 0x80;
    if (!beyondAscii)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes);
    return !decoder.hasError();
}

QList<QByteArray> ImageSheet::lines(QByteArray text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QList<QByteArray> result = text.split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    for (QByteArray& line : result) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return result;
}
