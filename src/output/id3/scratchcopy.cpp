#include "output/id3/scratchcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr qint64 copyBlockSize = 1 << 20;
} // namespace

ScratchCopy::ScratchCopy(const QString& original) : m_original(original) {}

ScratchCopy::~ScratchCopy() = default;

QString ScratchCopy::path() const
{
    return m_copy ? m_copy->fileName() : QString();
}

bool ScratchCopy::make(QString& failure)
{
    QFile source(m_original);
    if (!source.open(QIODevice::ReadOnly)) {
        failure = QStringLiteral("Could not read %1: %2").arg(m_original, source.errorString());
        return false;
    }
    const QFileInfo info(m_original);
    m_copy = std::make_unique<QTemporaryFile>(
        info.dir().filePath(u'.' + info.fileName() + QStringLiteral(".XXXXXX")));
    if (!m_copy->open()) {
        failure = QStringLiteral("Could not make a copy of %1 in its folder: %2")
                      .arg(m_original, m_copy->errorString());
        return false;
    }
    QByteArray block;
    while (!(block = source.read(copyBlockSize)).isEmpty()) {
        if (m_copy->write(block) != block.size())
            break;
    }
    if (source.error() != QFileDevice::NoError) {
        failure = QStringLiteral("Could not read %1: %2").arg(m_original, source.errorString());
        return false;
    }
    if (m_copy->error() != QFileDevice::NoError || !m_copy->flush() ||
        !m_copy->setPermissions(source.permissions())) {
        failure = QStringLiteral("Could not copy %1: %2").arg(m_original, m_copy->errorString());
        return false;
    }
    m_copy->close();
    return true;
}

bool ScratchCopy::replaceOriginal(QString& failure)
{
    const QByteArray copyName = QFile::encodeName(path());
    const int fd = ::open(copyName.constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int syncError = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced) {
        failure = QStringLiteral("Could not write %1: %2").arg(m_original, qt_error_string(syncError));
        return false;
    }
    if (::rename(copyName.constData(), QFile::encodeName(m_original).constData()) != 0) {
        failure = QStringLiteral("Could not replace %1: %2").arg(m_original, qt_error_string(errno));
        return false;
    }
    m_copy->setAutoRemove(false);
    return true;
}
