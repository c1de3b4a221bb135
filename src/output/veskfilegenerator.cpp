#include "output/veskfilegenerator.h"

#include "common/audiotracklist.h"
#include "common/log.h"
#include "common/vesktools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qsizetype readBlockSize = 1 << 20;

// Closes a descriptor on every way out of crcOfFile.
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

VeskFileGenerator::VeskFileGenerator() = default;

QStringList VeskFileGenerator::listFolder(const QString& folder) const
{
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir() || !dir.isReadable())
        return {};
    // Linux lists a folder in no useful order. Use the order the track list is shown in, numbers
    // by value, so that "2 - Song.mp3" comes before "10 - Song.mp3" in the playlist.
    QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    AudioTrackList::sortNaturally(names);
    QStringList ordered;
    for (const QString& name : m_trackOrder) {
        if (names.removeOne(name))
            ordered.append(name);
    }
    return ordered + names;
}

quint32 VeskFileGenerator::crcOfFile(const QString& path)
{
    // Non-blocking open so that a named pipe cannot stall the end of a rip; only regular files
    // are read.
    const FileDescriptor file{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) {
        veskLog(QStringLiteral("Could not read %1 for its checksum: %2").arg(path, qt_error_string(errno)));
        return 0;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return 0;

    Crc32 crc;
    const auto buffer = std::make_unique_for_overwrite<char[]>(readBlockSize);
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer.get(), readBlockSize);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            veskLog(
                QStringLiteral("Could not read %1 for its checksum: %2").arg(path, qt_error_string(errno)));
            return 0;
        }
        crc.update(buffer.get(), std::size_t(got));
    }
    return crc.value();
}

QString VeskFileGenerator::releaseFileName(const QString& filename, bool replaceSpaces)
{
    const QString name =
        replaceSpaces ? VeskTools::replaceChar(QLatin1Char(' '), QLatin1Char('_'), filename) : filename;
    // The name is made from the album's artist and title: keep it one component inside the folder.
    return VeskTools::safePathComponent(name, true);
}

QString VeskFileGenerator::writeReleaseFile(const QString& folder, const QString& name,
                                         const QByteArray& contents)
{
    const QString path = VeskTools::joinedPath(folder, name);
    // Written beside the target and renamed over it, so that a failure leaves any earlier file
    // whole instead of a truncated one. Unbuffered, so that a short write (a full disk) shows in
    // write()'s answer: a failed flush inside commit() is not always reported.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(contents) != contents.size() ||
        !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        veskLog(QStringLiteral("Could not write %1: %2").arg(path, reason));
        return QStringLiteral("%1: %2").arg(name, reason);
    }
    return QString();
}

QString VeskFileGenerator::makeM3UFile(const QString& folder, const QString& filename, bool replaceSpaces)
{
    const QString name = releaseFileName(filename, replaceSpaces);
    QString text;
    for (const QString& entry : listFolder(folder)) {
        // A playlist left by an earlier run under the same name is about to be replaced: it is
        // not one of the entries it lists.
        if (entry == name || m_incomplete.contains(entry))
            continue;
        text += entry + QLatin1Char('\n');
    }
    return writeReleaseFile(folder, name, text.toUtf8());
}

QString VeskFileGenerator::makeSFVFile(const QString& folder, const QString& filename, bool replaceSpaces)
{
    const QString name = releaseFileName(filename, replaceSpaces);
    const QStringList entries = listFolder(folder);
    QString text = QStringLiteral("; sfv'd by Vesk\r\n;\r\n");
    gen_table();
    for (const QString& entry : entries) {
        if (entry.endsWith(QStringLiteral(".m3u")) || entry == QStringLiteral(".DS_Store"))
            continue;
        // An earlier list under the same name is about to be replaced; its own line would be wrong.
        if (entry == name || m_incomplete.contains(entry))
            continue;
        const quint32 crc = crcOfFile(VeskTools::joinedPath(folder, entry));
        // Always eight digits: SFV checkers such as cksfv reject a checksum with fewer.
        text += entry + QLatin1Char(' ') + QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')) +
                QStringLiteral("\r\n");
    }
    return writeReleaseFile(folder, name, text.toUtf8());
}
