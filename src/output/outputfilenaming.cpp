#include "output/outputfilenaming.h"

#include "common/vesktools.h"

#include <QFileInfo>

namespace {
// "7 Seconds" -> " Seconds": a title that starts with a one- or two-digit number and a space
// loses the number (CD track files are named that way); longer numbers are part of the title.
QString withoutLeadingTrackNumber(const QString& trackName)
{
    const qint32 n = VeskTools::extractRealTrackNumberFromString(trackName);
    if (n == 0 || VeskTools::leadingInteger(trackName) != n)
        return trackName;
    // n is not 0, so the name holds a space.
    const qsizetype space = trackName.indexOf(QLatin1Char(' '));
    return space > 2 ? trackName : trackName.mid(space);
}

} // namespace

QString OutputFileNaming::createOutputFilenameWithFormat(const QString& format, const QString& artistName,
                                                         qint32 trackNumber, const QString& trackName,
                                                         const QString& albumTitle, bool spacesToUnderscores,
                                                         const QString& extension)
{
    const QString style = format.isEmpty() ? defaultStyle(extension) : format;
    const QString name = withoutLeadingTrackNumber(trackName);
    QString result;
    result.reserve(50);
    for (qsizetype i = 0; i < style.size(); ++i) {
        if (style[i] != QLatin1Char('%')) {
            result.append(style[i]);
            continue;
        }
        if (++i >= style.size())
            break; // a lone "%" at the end has no token: dropped
        switch (style[i].unicode()) {
        case 'd':
            result.append(trackNumber <= 9 ? QStringLiteral("0%1").arg(trackNumber)
                                           : QString::number(trackNumber));
            break;
        // Titles keep "/" and ":" everywhere but in names, where they would make a folder or
        // trouble a file manager.
        case 't':
            result.append(VeskTools::stripBadPathChars(name));
            break;
        case 'a':
            result.append(VeskTools::stripBadPathChars(artistName));
            break;
        case 'l':
            result.append(VeskTools::stripBadPathChars(albumTitle));
            break;
        default:
            break; // unknown tokens, "%%" included, give nothing
        }
    }
    if (spacesToUnderscores)
        result = VeskTools::replaceChar(QLatin1Char(' '), QLatin1Char('_'), result);
    return result;
}

QString OutputFileNaming::uniqueOutputPath(const QString& folder, const QString& name,
                                           const QSet<QString>& taken, bool spacesToUnderscores)
{
    const QString safe = VeskTools::safePathComponent(name, true);
    QString path = VeskTools::joinedPath(folder, safe);
    if (!taken.contains(path) && !QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return path;
    // Split off the extension; a leading dot belongs to the name, not to an extension.
    qsizetype dot = safe.lastIndexOf(QLatin1Char('.'));
    if (safe.size() - dot > VeskTools::maxExtensionLength)
        dot = -1;
    const QString stem = dot > 0 ? safe.left(dot) : safe;
    const QString extension = dot > 0 ? safe.mid(dot) : QString();
    const QChar separator = spacesToUnderscores ? QLatin1Char('_') : QLatin1Char(' ');
    for (qint64 counter = 2;; ++counter) {
        path = VeskTools::joinedPath(folder, VeskTools::fittedName(stem, separator + QString::number(counter) + extension));
        if (!taken.contains(path) && !QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return path;
    }
}
