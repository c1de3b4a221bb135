// Albums read from arbitrary MusicBrainz disc replies: whatever comes back is a whole album whose
// names are printable text on one line (a "/" or ":" is the name's own; file names deal with
// those), with a disc number that names a place in its set, or nothing.
#include "common/printabletext.h"
#include "lookup/musicbrainz/musicbrainzreleasereader.h"

#include <cstddef>
#include <cstdint>

namespace {
bool safeName(const QString& name)
{
    if (name.isEmpty() || name != name.trimmed())
        return false;
    for (const QChar c : name) {
        if (isControlCharacter(c))
            return false;
    }
    return true;
}

// Null, or "position/count" with 1 <= position <= count and more than one medium.
bool soundDiscNumber(const QString& number)
{
    if (number.isNull())
        return true;
    const QStringList parts = number.split(QLatin1Char('/'));
    bool positionOk = false;
    bool countOk = false;
    const qint64 position = parts.value(0).toLongLong(&positionOk);
    const qint64 count = parts.value(1).toLongLong(&countOk);
    return parts.size() == 2 && positionOk && countOk && position >= 1 && position <= count && count > 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte is the disc's track count; the rest is the reply.
    const qint32 trackCount = data[0] % 8 + 1;
    const QByteArray reply(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const auto matches = MusicBrainzReleaseReader::readMatches(
        reply, QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-"), trackCount);
    if (!matches)
        return 0;
    for (const MusicBrainzMatch& match : *matches) {
        const Album& album = match.album;
        if (match.line.contains(QLatin1Char('\n')) || !safeName(album.getArtist()) ||
            !safeName(album.getTitle()) || album.getTracks().size() < trackCount ||
            !soundDiscNumber(album.getDiscNumber()))
            __builtin_trap();
        for (qsizetype i = 0; i < album.getTracks().size(); ++i) {
            const Track& track = album.getTracks().at(i);
            if (track.getTrackNum() != i + 1 || !safeName(track.getTitle()) || !safeName(track.getArtist()))
                __builtin_trap();
        }
    }
    return 0;
}
