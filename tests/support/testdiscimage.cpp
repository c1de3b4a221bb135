#include "support/testdiscimage.h"

#include <QtEndian>

namespace TestDiscImage {
namespace {
int trackAt(qint64 sector)
{
    return sector < track1Start ? 0 : sector < track2Pregap ? 1 : sector < track3Start ? 2 : 3;
}

// Noise that differs from sample to sample and from track to track: paranoia matches reads by
// their content, which a repeating pattern would fool.
qint16 noise(quint32 sample, quint32 channel, quint32 track)
{
    quint32 x = sample * 2u + channel + track * 0x9E3779B9u;
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return static_cast<qint16>(x & 0xffff);
}
} // namespace

QByteArray sound()
{
    QByteArray bytes(audioSectors * sectorBytes, Qt::Uninitialized);
    for (qint64 sample = 0; sample < audioSectors * 588; ++sample) {
        const quint32 track = quint32(trackAt(sample / 588));
        for (quint32 channel = 0; channel < 2; ++channel)
            qToLittleEndian(noise(quint32(sample), channel, track), bytes.data() + sample * 4 + channel * 2);
    }
    return bytes;
}

QByteArray bigEndianSound()
{
    QByteArray bytes = sound();
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

QByteArray expectedSound(qint64 firstSector, qint64 lastSector, int offset)
{
    static const QByteArray disc = sound();
    QByteArray bytes((lastSector - firstSector + 1) * sectorBytes, '\0');
    const qint64 start = (firstSector * 588 + offset) * 4;
    for (qint64 i = 0; i < bytes.size(); ++i) {
        if (start + i >= 0 && start + i < disc.size())
            bytes[i] = disc[start + i];
    }
    return bytes;
}

QByteArray cueSheet(const QByteArray& soundFile, bool utf8, const QByteArray& fileType)
{
    const QString text = QStringLiteral("REM GENRE Rock\n"
                                        "REM DATE 1999\n"
                                        "REM COMMENT \"made for the disc tests\"\n"
                                        "CATALOG 0724384960650\n"
                                        "PERFORMER \"Caf\u00e9 Tacuba\"\n"
                                        "TITLE \"\u00d1and\u00fa\"\n"
                                        "FILE \"%1\" %2\n"
                                        "  TRACK 01 AUDIO\n"
                                        "    TITLE \"Premi\u00e8re\"\n"
                                        "    PERFORMER \"Zo\u00eb\"\n"
                                        "    ISRC DEA123456789\n"
                                        "    FLAGS DCP\n"
                                        "    INDEX 00 00:00:00\n"
                                        "    INDEX 01 00:00:33\n"
                                        "  TRACK 02 AUDIO\n"
                                        "    TITLE \"Two\"\n"
                                        "    ISRC USABC9900002\n"
                                        "    INDEX 00 00:03:25\n"
                                        "    INDEX 01 00:04:00\n"
                                        "  TRACK 03 AUDIO\n"
                                        "    TITLE \"Three\"\n"
                                        "    PERFORMER \"Guest\"\n"
                                        "    INDEX 01 00:06:70\n")
                             .arg(QString::fromUtf8(soundFile), QString::fromLatin1(fileType));
    return utf8 ? "\xEF\xBB\xBF" + text.toUtf8() : text.toLatin1();
}

QByteArray tocFile(const QByteArray& soundFile, const QByteArray& dataFile)
{
    return "CD_ROM\n"
           "\n"
           "CATALOG \"0724384960650\"\n"
           "\n"
           "// global CD-TEXT data\n"
           "CD_TEXT {\n"
           "  LANGUAGE_MAP {\n"
           "    0 : EN\n"
           "    1 : 8\n"
           "  }\n"
           "\n"
           "  LANGUAGE 0 {\n"
           "    TITLE \"\\321and\\372\"\n"
           "    PERFORMER \"Caf\\351 Tacuba\"\n"
           "    SIZE_INFO { 1, 1, 3, 0, 6, 3, 0, 0, 0, 0, 0, 0,\n"
           "                0, 3, 46, 0, 0, 0, 0, 0, 0, 0, 0, 0,\n"
           "                9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}\n"
           "  }\n"
           "  LANGUAGE 1 {\n"
           "    TITLE \"Autre titre\"\n"
           "  }\n"
           "}\n"
           "\n"
           "// Track 1\n"
           "TRACK AUDIO\n"
           "NO COPY\n"
           "NO PRE_EMPHASIS\n"
           "TWO_CHANNEL_AUDIO\n"
           "ISRC \"DEA123456789\"\n"
           "CD_TEXT {\n"
           "  LANGUAGE 0 {\n"
           "    TITLE \"Premi\\350re\"\n"
           "    PERFORMER \"Zo\\353\"\n"
           "  }\n"
           "}\n"
           "FILE \"" +
           soundFile +
           "\" 0 00:03:25\n"
           "START 00:00:33\n"
           "\n"
           "// Track 2\n"
           "TRACK AUDIO\n"
           "ISRC \"USABC9900002\"\n"
           "CD_TEXT {\n"
           "  LANGUAGE 0 {\n"
           "    TITLE \"Two\"\n"
           "  }\n"
           "}\n"
           "FILE \"" +
           soundFile +
           "\" 00:03:25 00:03:45\n"
           "START 00:00:50\n"
           "\n"
           "// Track 3\n"
           "TRACK AUDIO\n"
           "CD_TEXT {\n"
           "  LANGUAGE 0 {\n"
           "    TITLE \"Three\"\n"
           "    PERFORMER \"Guest\"\n"
           "  }\n"
           "}\n"
           "FILE \"" +
           soundFile +
           "\" 00:06:70 00:03:55\n"
           "\n"
           "// Track 4: the data of an enhanced CD, after the gap between the sessions\n"
           "TRACK MODE1\n"
           "PREGAP 02:32:00\n"
           "DATAFILE \"" +
           dataFile + "\" // length in bytes: 61440\n";
}

QByteArray dataTrack()
{
    return QByteArray(dataSectors * 2048, '\x5a');
}
} // namespace TestDiscImage
