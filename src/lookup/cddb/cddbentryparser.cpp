#include "lookup/cddb/cddbentryparser.h"

#include "common/log.h"
#include "common/printabletext.h"
#include "common/veskexception.h"
#include "common/vesktools.h"

#include <algorithm>
#include <limits>

namespace {
const QString kSeparator = QStringLiteral(" / ");
const QString kHyphenSeparator = QStringLiteral(" - ");

[[noreturn]] void failCutOff()
{
    const QString text = QStringLiteral("The server's entry for this disc is incomplete.");
    throw VeskException(text, text, VeskException::Kind::BadReply);
}

void appendPrintable(QString& to, QStringView from)
{
    const bool clean = std::none_of(from.begin(), from.end(), [](QChar c) { return isControlCharacter(c); });
    if (clean) {
        to += from;
        return;
    }
    for (const QChar c : from)
        if (!isControlCharacter(c))
            to += c;
}

// A null text never leaves here: a value that exists is at least the empty text.
QString nonNull(QString text)
{
    if (text.isNull())
        text = QStringLiteral("");
    return text;
}

// Splits "Artist / Title" at the first separator; false when there is none.
bool splitAtSeparator(const QString& value, const QString& separator, QString* artist, QString* title)
{
    const qsizetype at = value.indexOf(separator);
    if (at < 0)
        return false;
    *artist = value.left(at);
    *title = value.mid(at + separator.size());
    return true;
}
} // namespace

QHash<QString, QString> CDDBEntryParser::fields(const QString& entry,
                                                const std::function<bool(QStringView key)>& wanted)
{
    QHash<QString, QString> values;
    QString previousKey;
    for (qsizetype start = 0; start < entry.size();) {
        const qsizetype lf = entry.indexOf(QLatin1Char('\n'), start);
        const qsizetype end = lf < 0 ? entry.size() : lf;
        QStringView line = QStringView(entry).mid(start, end - start);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        start = end + 1;

        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || line.startsWith(QLatin1Char('#'))) {
            previousKey.clear();
            continue;
        }
        if (lf < 0)
            failCutOff();
        const QStringView key = line.left(equals + 1);
        const QStringView value = line.mid(equals + 1);
        if (wanted && !wanted(key)) {
            previousKey.clear();
            continue;
        }
        if (key == previousKey) {
            appendPrintable(values[previousKey], value);
            continue;
        }
        previousKey = key.toString();
        if (values.contains(previousKey)) {
            previousKey.clear(); // a stray later line of a key already read
            continue;
        }
        QString& text = values[previousKey];
        text = QStringLiteral("");
        appendPrintable(text, value);
    }
    return values;
}

std::optional<QString> CDDBEntryParser::getToken(const QString& key, const QString& entry)
{
    const QHash<QString, QString> values = fields(entry);
    const auto found = values.constFind(key);
    if (found == values.constEnd())
        return std::nullopt;
    return *found;
}

std::pair<QString, QString> CDDBEntryParser::splitTitle(const QString& dtitle)
{
    // The spaced separator wins over a slash that is part of the artist's name.
    QString artist;
    QString title;
    if (!splitAtSeparator(dtitle, kSeparator, &artist, &title)) {
        const qsizetype slash = dtitle.indexOf(QLatin1Char('/'));
        artist = slash < 0 ? dtitle : dtitle.left(slash);
        title = slash < 0 ? dtitle : dtitle.mid(slash + 1);
    }
    return {artist.trimmed(), title.trimmed()};
}

Album CDDBEntryParser::parseAlbumInfo(const QString& entry)
{
    // Only what an album holds is kept; of the track titles, one more than a disc holds tells
    // that the entry lists too many, and the highest number how many.
    // The highest number is counted in 64 bits: an entry may well say TTITLE2147483647.
    qint64 highestTitle = -1;
    const QHash<QString, QString> values = fields(entry, [&highestTitle](QStringView key) {
        static const QLatin1String title("TTITLE");
        if (key.startsWith(title)) {
            const QStringView digits = key.mid(title.size(), key.size() - title.size() - 1);
            const bool isNumber = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
            });
            const qint64 number = isNumber ? VeskTools::leadingInteger(digits.toString()) : -1;
            // Beyond 32 bits it is no track number that anything else would take.
            if (!isNumber || number > std::numeric_limits<qint32>::max())
                return false;
            highestTitle = std::max(highestTitle, number);
            return number <= maxTracks;
        }
        return key == QLatin1String("DTITLE=") || key == QLatin1String("DYEAR=") ||
               key == QLatin1String("DGENRE=");
    });
    const auto value = [&values](const QString& key) -> std::optional<QString> {
        const auto found = values.constFind(key);
        return found == values.constEnd() ? std::nullopt : std::optional<QString>(*found);
    };

    // Titles are kept exactly as the entry gives them: they become tags, and a "/" or ":" in
    // them is the artist's own. Whatever a file or folder name cannot hold is that name's business.
    Album album;
    if (const auto dtitle = value(QStringLiteral("DTITLE="))) {
        const auto [artist, title] = splitTitle(*dtitle);
        album.setArtist(nonNull(artist));
        album.setTitle(nonNull(title));
    }
    if (const auto year = value(QStringLiteral("DYEAR=")))
        album.setYear(*year);
    if (const auto genre = value(QStringLiteral("DGENRE=")))
        album.setGenre(*genre);

    const bool various = album.getArtist().contains(QStringLiteral("Various"));
    qint32 n = 0;
    for (;; ++n) {
        const auto raw = value(QStringLiteral("TTITLE%1=").arg(n));
        if (!raw || n >= maxTracks)
            break;
        // freedb writes a various-artists track as "Artist / Title"; many entries use
        // "Artist - Title". A bare hyphen is part of a name ("Hip-Hop Hooray", "Jay-Z"), so
        // only a spaced one separates.
        QString artist;
        QString title;
        if (various && (splitAtSeparator(*raw, kSeparator, &artist, &title) ||
                        splitAtSeparator(*raw, kHyphenSeparator, &artist, &title)))
            album.addTrack(Track::trackWithArtist(nonNull(artist), nonNull(title), n + 1));
        else
            album.addTrack(Track::trackWithArtist(album.getArtist(), *raw, n + 1));
    }
    if (n >= maxTracks && value(QStringLiteral("TTITLE%1=").arg(n)))
        veskLog(QStringLiteral("The CD's database entry lists %1 tracks; a disc holds at most %2, the rest "
                               "are ignored")
                    .arg(highestTitle + 1)
                    .arg(maxTracks));
    return album;
}
