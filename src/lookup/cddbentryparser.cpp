#include "lookup/cddbentryparser.h"

#include "common/veskexception.h"
#include "output/vesktools.h"

namespace {
const QString kCutOff = QStringLiteral("freedb: The CD's database entry is incomplete.");

[[noreturn]] void failCutOff()
{
    throw VeskException(kCutOff, kCutOff);
}

// The text from start up to the line end at or behind it, without the line end (LF or CR LF).
QString lineFrom(const QString& text, qsizetype start)
{
    const qsizetype lf = text.indexOf(QLatin1Char('\n'), start);
    if (lf < 0)
        failCutOff();
    qsizetype end = lf;
    if (end > start && text.at(end - 1) == QLatin1Char('\r'))
        --end;
    return text.mid(start, end - start);
}

// A null text never leaves here: a value that exists is at least the empty text.
QString nonNull(QString text)
{
    if (text.isNull())
        text = QStringLiteral("");
    return text;
}
} // namespace

std::optional<QString> CDDBEntryParser::getToken(const QString& key, const QString& entry)
{
    if (key.isEmpty())
        return std::nullopt;
    const qsizetype found = entry.indexOf(key);
    if (found < 0)
        return std::nullopt;
    const qsizetype start = found + key.size();
    if (entry.indexOf(key, start) < 0)
        return nonNull(lineFrom(entry, start));

    // A continued value: every later "<line end>key" is cut out, which joins the pieces directly.
    // Pieces that are not on the directly following lines end up behind the first line end and
    // so are not part of the value.
    QString rest = entry.mid(start);
    qsizetype at = rest.indexOf(key);
    while (at >= 0) {
        qsizetype cut = at;
        if (cut > 0 && rest.at(cut - 1) == QLatin1Char('\n')) {
            --cut;
            if (cut > 0 && rest.at(cut - 1) == QLatin1Char('\r'))
                --cut;
        }
        rest.remove(cut, at + key.size() - cut);
        at = rest.indexOf(key, cut);
    }
    return nonNull(lineFrom(rest, 0));
}

Album CDDBEntryParser::parseAlbumInfo(const QString& entry)
{
    Album album;
    if (const auto dtitle = getToken(QStringLiteral("DTITLE="), entry)) {
        // "Artist / Title"; without a slash the artist and the title are the same text.
        const qsizetype slash = dtitle->indexOf(QLatin1Char('/'));
        QString artist = slash < 0 ? *dtitle : dtitle->left(slash);
        QString title = slash < 0 ? *dtitle : dtitle->mid(slash + 1);
        album.setArtist(nonNull(VeskTools::stripBadPathChars(artist.trimmed())));
        album.setTitle(nonNull(VeskTools::stripBadPathChars(title.trimmed())));
    }
    if (const auto year = getToken(QStringLiteral("DYEAR="), entry))
        album.setYear(*year);
    if (const auto genre = getToken(QStringLiteral("DGENRE="), entry))
        album.setGenre(nonNull(VeskTools::stripBadPathChars(*genre)));

    const bool various = album.getArtist().contains(QStringLiteral("Various"));
    for (qint32 n = 0;; ++n) {
        const auto value = getToken(QStringLiteral("TTITLE%1=").arg(n), entry);
        if (!value)
            break;
        // After this a "/" in the value has become "-", so "Artist / Title" splits below.
        const QString v = VeskTools::stripBadPathChars(*value);
        const qsizetype hyphen = various ? v.indexOf(QLatin1Char('-')) : -1;
        QString artist;
        QString title;
        if (hyphen >= 0) {
            artist = v.left(hyphen);
            if (artist.endsWith(QLatin1Char(' ')))
                artist.chop(1);
            title = v.mid(hyphen + 1);
            if (title.startsWith(QLatin1Char(' ')))
                title.remove(0, 1);
            artist = nonNull(artist);
            title = nonNull(title);
        } else {
            artist = album.getArtist();
            title = nonNull(v);
        }
        album.addTrack(Track::trackWithArtist(artist, title, n + 1));
    }
    return album;
}
