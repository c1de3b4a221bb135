#include "rip/trackspool.h"

#include "common/vesktools.h"
#include "disc/cdiosounddevice.h"
#include "common/crc32.h"

#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QMetaObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>

QString TrackSpool::newFolder(QString* problem)
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString root = VeskTools::joinedPath(cache.isEmpty() ? QDir::tempPath() : cache, QStringLiteral("vesk"));
    QDir rootDir(root);
    if (!rootDir.mkpath(QStringLiteral("."))) {
        if (problem)
            *problem = QStringLiteral("the cache folder %1 cannot be made").arg(root);
        return QString();
    }
    for (const QString& name : rootDir.entryList({QStringLiteral("rip-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qint64 pid = name.section(QLatin1Char('-'), 1, 1).toLongLong();
        if (pid > 0 && pid != QCoreApplication::applicationPid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(rootDir.filePath(name)).removeRecursively();
    }
    QTemporaryDir folder(rootDir.filePath(QStringLiteral("rip-%1-XXXXXX").arg(QCoreApplication::applicationPid())));
    if (!folder.isValid()) {
        if (problem)
            *problem = QStringLiteral("no folder can be made in %1: %2").arg(root, folder.errorString());
        return QString();
    }
    folder.setAutoRemove(false);
    return folder.path();
}

TrackSpool::TrackSpool(QString folder, int ahead, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_ahead(qMax(1, ahead))
{
}

TrackSpool::~TrackSpool()
{
    stop();
    if (m_worker.joinable())
        m_worker.join();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

void TrackSpool::start(std::vector<std::shared_ptr<const TrackSource>> sources)
{
    if (m_worker.joinable())
        return;
    m_sources = std::move(sources);
    m_released.assign(m_sources.size(), false);
    m_worker = std::thread([this] { readAll(); });
}

void TrackSpool::release(int index)
{
    {
        std::lock_guard lock(m_mutex);
        if (index < 0 || index >= int(m_released.size()) || m_released[size_t(index)])
            return;
        m_released[size_t(index)] = true;
        --m_waiting;
    }
    m_wake.notify_all();
    QFile::remove(VeskTools::joinedPath(m_folder, QStringLiteral("%1.raw").arg(index + 1)));
}

void TrackSpool::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
}

void TrackSpool::readAll()
{
    for (int index = 0; index < int(m_sources.size()); ++index) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopped || m_waiting < m_ahead; });
            if (m_stopped)
                return;
            ++m_waiting;
        }
        QMetaObject::invokeMethod(this, [this, index] { Q_EMIT readingStarted(index); }, Qt::QueuedConnection);
        const Read read = readOne(index, *m_sources[size_t(index)]);
        {
            std::lock_guard lock(m_mutex);
            if (m_stopped)
                return;
        }
        QMetaObject::invokeMethod(this, [this, read] { Q_EMIT trackRead(read); }, Qt::QueuedConnection);
    }
}

TrackSpool::Read TrackSpool::readOne(int index, const TrackSource& source)
{
    Read read;
    read.index = index;
    if (read.problem = source.problem(); !read.problem.isEmpty())
        return read;
    const std::unique_ptr<QIODevice> sound = source.openSound();
    if (!sound) {
        read.problem = QStringLiteral("could not be opened for reading");
        return read;
    }
    // A file the encoder reads itself is only read through here, for the taps; anything else is
    // written into the spool for the encoder.
    const bool copied = source.filePath().isEmpty();
    const QString path =
        copied ? VeskTools::joinedPath(m_folder, QStringLiteral("%1.raw").arg(index + 1)) : source.filePath();
    QFile file(path);
    if (copied && !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        read.problem = QStringLiteral("could not be read into %1: %2").arg(path, file.errorString());
        return read;
    }
    // A disc's reader says how reading went; other sources say nothing more than their bytes.
    const auto* disc = qobject_cast<const CdioSoundDevice*>(sound.get());
    Crc32 crc;
    QByteArray block(256 * 1024, Qt::Uninitialized);
    while (true) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopped)
                break;
        }
        const qint64 got = sound->read(block.data(), block.size());
        // A disc reader ends its track with -1 too; its report says whether that was the end.
        if (got < 0 && disc && disc->report().finished)
            break;
        if (got < 0) {
            read.problem = QStringLiteral("could not be read: %1").arg(sound->errorString());
            break;
        }
        if (got == 0 && sound->atEnd())
            break;
        if (got == 0)
            sound->waitForReadyRead(1000);
        // Only what is copied needs a checksum of its copy.
        if (copied)
            crc.update(block.constData(), size_t(got));
        if (m_tap)
            m_tap(index, block.constData(), got);
        if (copied && file.write(block.constData(), got) != got) {
            read.problem = QStringLiteral("could not be read into %1: %2").arg(path, file.errorString());
            break;
        }
        read.bytes += got;
    }
    file.close();
    // A disc reader ends a failed read as it ends the track: its report tells them apart.
    if (disc) {
        read.report = disc->report();
        if (read.problem.isEmpty() && !read.report->finished)
            read.problem = QStringLiteral("could not be read: %1")
                               .arg(read.report->failure.isEmpty() ? QStringLiteral("the reading stopped")
                                                                   : read.report->failure);
    }
    if (!read.problem.isEmpty()) {
        if (copied)
            QFile::remove(path);
        return read;
    }
    read.path = path;
    read.crc32 = crc.value();
    read.isrc = source.isrc();
    return read;
}
