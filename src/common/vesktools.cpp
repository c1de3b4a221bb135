#include "common/vesktools.h"

#include "common/log.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTextBoundaryFinder>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
bool existsAt(const QString& path)
{
    // Dangling links count as taken too: creating a folder there would fail.
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// Makes base/name, else base/name<sep>1, base/name<sep>2, ..., each fitted to a name's length,
// and returns the one made. The folder is claimed by making it: when another process takes a
// name first, the next number is tried, so two rips never share an album folder. A null string
// when a folder cannot be made at all.
QString claimFreeFolder(const QString& base, const QString& name, QChar separator)
{
    for (qint64 counter = 0; counter < 100000; ++counter) {
        const QString candidate = VeskTools::joinedPath(
            base, counter == 0 ? VeskTools::fittedName(name)
                               : VeskTools::fittedName(name, separator + QString::number(counter)));
        if (existsAt(candidate))
            continue;
        if (::mkdir(QFile::encodeName(candidate).constData(), 0777) == 0)
            return candidate;
        if (errno != EEXIST) {
            veskLog(QStringLiteral("Could not make the folder %1: %2")
                        .arg(candidate, QString::fromLocal8Bit(std::strerror(errno))));
            return QString();
        }
    }
    return QString();
}
} // namespace

QString VeskTools::replaceChar(QChar from, QChar to, const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (QChar c : text)
        result.append(c == from ? to : c);
    return result;
}

QString VeskTools::stripBadPathChars(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (QChar c : text)
        result.append(c == QLatin1Char('/') || c == QLatin1Char(':') ? QLatin1Char('-') : c);
    return result;
}

qint64 VeskTools::leadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > (qint64(1) << 40))
            break; // far beyond any 32-bit number; callers see it as out of range
    }
    return negative ? -value : value;
}

qint32 VeskTools::extractRealTrackNumberFromString(const QString& text)
{
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    if (space < 0)
        return 0;
    const qint64 value = leadingInteger(text.left(space + 1));
    // A number too large for a track number counts as none.
    return value < INT_MIN || value > INT_MAX ? 0 : qint32(value);
}

void VeskTools::createDirectoryStructure(const QString& path)
{
    if (path.isEmpty() || existsAt(path))
        return;
    const QString parent = deletingLastPathComponent(path);
    if (parent != path)
        createDirectoryStructure(parent);
    QDir().mkdir(path);
}

bool VeskTools::audioCDIsMounted(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return false;
    bool hasEntry = false;
    while (const dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if ((n[0] == '.' && n[1] == '\0') || (n[0] == '.' && n[1] == '.' && n[2] == '\0'))
            continue;
        hasEntry = true;
        break;
    }
    ::closedir(dir);
    return hasEntry;
}

QString VeskTools::createUniqueFolderAtPath(const QString& folder, const QString& name, bool replaceSpaces)
{
    QString folderName = stripBadPathChars(name);
    QChar separator = QLatin1Char(' ');
    if (replaceSpaces) {
        folderName = replaceChar(QLatin1Char(' '), QLatin1Char('_'), folderName);
        separator = QLatin1Char('_');
    }
    const QString& base = folder;
    createDirectoryStructure(base);
    if (name.isNull()) {
        veskLog(QStringLiteral("Name cannot be null!"));
        return QString();
    }
    return claimFreeFolder(base, safePathComponent(folderName), separator);
}

QString VeskTools::createUniqueNestedFolderAtPath(const QString& folder, const QString& artistName,
                                                  const QString& albumName, bool replaceSpaces)
{
    QString artist = stripBadPathChars(artistName);
    QString album = stripBadPathChars(albumName);
    QChar separator = QLatin1Char(' ');
    if (replaceSpaces) {
        artist = replaceChar(QLatin1Char(' '), QLatin1Char('_'), artist);
        album = replaceChar(QLatin1Char(' '), QLatin1Char('_'), album);
        separator = QLatin1Char('_');
    }
    const QString& base = folder;
    createDirectoryStructure(base);
    const QString artistFolder = VeskTools::joinedPath(base, safePathComponent(artist));
    // Shared by every album of the artist: another rip may make it at the same moment.
    ::mkdir(QFile::encodeName(artistFolder).constData(), 0777);
    return claimFreeFolder(artistFolder, safePathComponent(album), separator);
}

QString VeskTools::safePathComponent(const QString& name, bool keepExtension)
{
    QString safe;
    safe.reserve(name.size());
    for (QChar c : name) {
        if (c == QLatin1Char('/'))
            safe.append(QLatin1Char('-'));
        else if (c == QChar(0))
            continue;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            safe.append(QLatin1Char('_')); // a line end would split the name's playlist line
        else
            safe.append(c);
    }
    if (safe.isEmpty())
        return QStringLiteral("Untitled");
    if (safe == QStringLiteral(".") || safe == QStringLiteral(".."))
        return QString(safe.size(), QLatin1Char('_'));
    const qsizetype dot = keepExtension ? safe.lastIndexOf(QLatin1Char('.')) : -1;
    if (dot > 0 && safe.size() - dot <= maxExtensionLength)
        return fittedName(safe.left(dot), safe.mid(dot));
    return fittedName(safe);
}

QString VeskTools::fittedName(const QString& stem, const QString& suffix)
{
    const qsizetype budget = maxNameBytes - suffix.toUtf8().size();
    if (stem.toUtf8().size() <= budget)
        return stem + suffix;
    // The longest prefix within the budget that ends on a boundary nextBoundary gives.
    const auto longestPrefix = [&](const auto& nextBoundary) {
        qsizetype cut = 0;
        qsizetype bytes = 0;
        for (qsizetype next = nextBoundary(cut); next > cut; next = nextBoundary(cut)) {
            bytes += QStringView(stem).mid(cut, next - cut).toUtf8().size();
            if (bytes > budget)
                break;
            cut = next;
        }
        return cut;
    };
    // Cut between user-perceived characters, so that no letter loses its accent.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, stem);
    qsizetype cut = longestPrefix([&](qsizetype) { return graphemes.toNextBoundary(); });
    // A letter under hundreds of combining marks is longer than a name may be: cut inside it then,
    // rather than leave nothing, ".", or "..".
    if (stem.left(cut).count(QLatin1Char('.')) == cut) {
        cut = longestPrefix([&](qsizetype at) {
            return at >= stem.size() ? at : at + (stem[at].isHighSurrogate() && at + 1 < stem.size() ? 2 : 1);
        });
    }
    return stem.left(cut) + suffix;
}

QString VeskTools::deletingLastPathComponent(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return trimmed.left(slash);
}

QString VeskTools::joinedPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool VeskTools::renameWithoutReplacing(const QString& from, const QString& to, QString* failure)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int result = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
        // A file system without the flag: a hard link fails on an existing name just the same.
        result = ::link(source.constData(), target.constData());
        if (result == 0) {
            ::unlink(source.constData());
        } else if (errno == EPERM || errno == EOPNOTSUPP) {
            // Nor hard links (FAT): look first, then rename.
            if (QFileInfo::exists(to))
                errno = EEXIST;
            else
                result = ::rename(source.constData(), target.constData());
        }
    }
    if (result != 0 && failure)
        *failure = QString::fromLocal8Bit(std::strerror(errno));
    return result == 0;
}

QString VeskTools::problemWritingInto(const QString& folder)
{
    // The folder, or where it would be made: its nearest ancestor that is there. Nothing is made
    // here; a probe file shows what the system says to writing (permissions, a read-only mount).
    QString existing = QDir::cleanPath(folder);
    while (!QFileInfo::exists(existing) && !QFileInfo(existing).isSymLink()) {
        const QString parent = deletingLastPathComponent(existing);
        if (parent == existing)
            break;
        existing = parent;
    }
    if (!QFileInfo(existing).isDir())
        return QString::fromLocal8Bit(std::strerror(ENOTDIR));
    QByteArray probe = QFile::encodeName(joinedPath(existing, QStringLiteral(".vesk-write-test-XXXXXX")));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    ::unlink(probe.constData());
    return QString();
}

qint64 VeskTools::availableBytes(const QString& folder)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

QString VeskTools::shellQuoted(const QStringList& words)
{
    static const QString plain = QStringLiteral("-_./=:,+%@");
    QStringList quoted;
    for (const QString& word : words) {
        bool safe = !word.isEmpty();
        for (const QChar c : word)
            safe = safe && ((c.isLetterOrNumber() && c.unicode() < 128) || plain.contains(c));
        quoted.append(safe ? word : QLatin1Char('\'') + QString(word).replace(QStringLiteral("'"), QStringLiteral("'\\''")) + QLatin1Char('\''));
    }
    return quoted.join(QLatin1Char(' '));
}
