#include "disc/audiocdfinder.h"

#include "common/audiotracklist.h"
#include "common/cdfolder.h"
#include "common/vesktools.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace {
QStringList defaultVolumeRoots()
{
    QStringList roots{QStringLiteral("/Volumes")};
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty())
        roots << QStringLiteral("/run/media/") + user << QStringLiteral("/media/") + user;
    roots << QStringLiteral("/media");
    return roots;
}

QStringList foldersIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    AudioTrackList::sortNaturally(names);
    return names;
}
} // namespace

AudioCDFinder::AudioCDFinder() : m_volumeRoots(defaultVolumeRoots()), m_gvfsRoots(defaultGvfsRoots()) {}

QStringList AudioCDFinder::defaultGvfsRoots()
{
    QStringList roots;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        roots << runtime + QStringLiteral("/gvfs");
    const QString standard = QStringLiteral("/run/user/%1/gvfs").arg(getuid());
    if (!roots.contains(standard))
        roots << standard;
    return roots;
}

void AudioCDFinder::lookNowhere()
{
    m_volumeRoots.clear();
    m_gvfsRoots.clear();
}

QString AudioCDFinder::findAudioCD() const
{
    for (const QString& root : m_volumeRoots) {
        for (const QString& entry : foldersIn(root)) {
            const QString volume = VeskTools::joinedPath(root, entry);
            if (QFileInfo::exists(VeskTools::joinedPath(volume, CDFolder::tocFileName())))
                return volume;
        }
    }
    // Linux desktops show an inserted audio CD as a gvfs mount of WAV tracks once a file manager
    // has opened it; an empty one (no disc in the drive) is no CD.
    for (const QString& root : m_gvfsRoots) {
        for (const QString& entry : foldersIn(root)) {
            const QString mount = VeskTools::joinedPath(root, entry);
            if (CDFolder::isGvfsMountName(entry) &&
                !AudioTrackList::tracksInFolder(mount, false).value_or(QStringList()).isEmpty())
                return mount;
        }
    }
    return QString();
}
