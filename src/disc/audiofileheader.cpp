#include "disc/audiofileheader.h"

#include <QFile>
#include <QtEndian>
#include <QFileInfo>
#include <cstring>
#include <limits>

namespace {
// Headers come before the sound data: a few hundred bytes, more with long names and comments.
// A gvfs CD mount reads every byte from the disc, so the first try asks for very little.
constexpr qint64 kFirstTry = 4096;
constexpr qint64 kHeadBytes = 1 << 20;

quint32 be32(const char* p)
{
    return qFromBigEndian<quint32>(p);
}
quint16 be16(const char* p)
{
    return qFromBigEndian<quint16>(p);
}
quint32 le32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}
quint16 le16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

// The sample rate as AIFF stores it, an 80-bit extended float; nothing unless it is a whole
// number of hertz that fits.
std::optional<qint32> extendedRate(const char* p)
{
    const int exponent = (be16(p) & 0x7fff) - 16383;
    const quint64 mantissa = qFromBigEndian<quint64>(p + 2);
    if ((be16(p) & 0x8000) || exponent < 0 || exponent > 30)
        return std::nullopt;
    const int shift = 63 - exponent;
    if (mantissa & ((quint64(1) << shift) - 1))
        return std::nullopt;
    return static_cast<qint32>(mantissa >> shift);
}

std::optional<AudioFormat> parseWav(const QByteArray& head, qint64 fileSize)
{
    std::optional<AudioFormat> format;
    qint64 pos = 12;
    while (pos + 8 <= head.size()) {
        const char* chunk = head.constData() + pos;
        const qint64 size = le32(chunk + 4);
        const qint64 body = pos + 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            const qint64 frameBytes = format ? qint64(format->channels) * format->bitsPerSample / 8 : 0;
            if (frameBytes <= 0 || size % frameBytes != 0 || body + size > fileSize)
                return std::nullopt;
            format->sampleFrames = size / frameBytes;
            format->dataOffset = body;
            return format;
        }
        if (body + size > head.size())
            return std::nullopt;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            const quint16 tag = le16(chunk + 8);
            // 1 is PCM; 0xFFFE (extensible) carries PCM's sub-format GUID, which starts with 1.
            if (tag != 1 && !(tag == 0xfffe && size >= 40 && le16(chunk + 8 + 24) == 1))
                return std::nullopt;
            format =
                AudioFormat{qint32(le32(chunk + 12)), qint32(le16(chunk + 22)), qint32(le16(chunk + 10)), 0};
            if (format->bitsPerSample % 8 != 0)
                return std::nullopt;
        }
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<AudioFormat> parseAiff(const QByteArray& head, qint64 fileSize, bool aifc)
{
    std::optional<AudioFormat> format;
    qint64 pos = 12;
    while (pos + 8 <= head.size()) {
        const char* chunk = head.constData() + pos;
        const qint64 size = be32(chunk + 4);
        const qint64 body = pos + 8;
        if (std::memcmp(chunk, "SSND", 4) == 0) {
            if (!format || size < 8 || body + 8 > head.size())
                return std::nullopt;
            const qint64 needed = 8 + qint64(be32(chunk + 8)) +
                                  format->sampleFrames * format->channels * (format->bitsPerSample / 8);
            if (size < needed || body + needed > fileSize)
                return std::nullopt;
            format->dataOffset = body + 8 + qint64(be32(chunk + 8));
            return format;
        }
        if (body + size > head.size())
            return std::nullopt;
        if (std::memcmp(chunk, "COMM", 4) == 0 && size >= (aifc ? 22 : 18)) {
            // AIFF-C also says how the sound is coded: only plain PCM either way round will do.
            if (aifc && std::memcmp(chunk + 26, "NONE", 4) != 0 && std::memcmp(chunk + 26, "sowt", 4) != 0)
                return std::nullopt;
            const auto rate = extendedRate(chunk + 16);
            const qint32 bits = qint16(be16(chunk + 14));
            if (!rate || bits <= 0 || bits % 8 != 0 || qint16(be16(chunk + 8)) <= 0)
                return std::nullopt;
            format = AudioFormat{*rate, bits, qint32(qint16(be16(chunk + 8))), qint64(be32(chunk + 10))};
            // AIFF-C's "sowt" is little-endian sound in an AIFF file.
            format->bigEndian = !(aifc && std::memcmp(chunk + 26, "sowt", 4) == 0);
        }
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}
} // namespace

std::optional<AudioFormat> AudioFileHeader::parse(const QByteArray& head, qint64 fileSize)
{
    if (head.size() < 12)
        return std::nullopt;
    const char* p = head.constData();
    if (std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WAVE", 4) == 0)
        return parseWav(head, fileSize);
    if (std::memcmp(p, "FORM", 4) == 0 && std::memcmp(p + 8, "AIFF", 4) == 0)
        return parseAiff(head, fileSize, false);
    if (std::memcmp(p, "FORM", 4) == 0 && std::memcmp(p + 8, "AIFC", 4) == 0)
        return parseAiff(head, fileSize, true);
    return std::nullopt;
}

std::optional<AudioFormat> AudioFileHeader::readFile(const QString& path, QString* problem)
{
    const auto fail = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("is not a file"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot be read: ") + file.errorString());
    const qint64 size = file.size();
    QByteArray head = file.read(kFirstTry);
    std::optional<AudioFormat> format = parse(head, size);
    if (!format && size > kFirstTry && file.seek(0)) {
        head = file.read(kHeadBytes);
        format = parse(head, size);
    }
    if (format)
        return format;
    // Read as if the file went on for ever: a header that reads then promises more sound than
    // the file holds (a copy that was cut short).
    if (parse(head, std::numeric_limits<qint64>::max()))
        return fail(QStringLiteral("holds less sound than its header says (the file is cut short)"));
    return fail(QStringLiteral("does not read as an AIFF or WAV file of uncompressed sound"));
}
