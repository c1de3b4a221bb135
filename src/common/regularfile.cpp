#include "common/regularfile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<QByteArray> RegularFile::read(const QString& path, qint64 maxBytes, QString* problem)
{
    const auto fail = [problem](const QString& why) -> std::optional<QByteArray> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("not an ordinary file"));
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return fail(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    }
    QByteArray data(qsizetype(info.st_size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < info.st_size) {
        const ssize_t got = ::read(fd, data.data() + done, size_t(info.st_size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    ::close(fd);
    data.truncate(qsizetype(done));
    return data;
}
