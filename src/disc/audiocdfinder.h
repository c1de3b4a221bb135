#pragma once

#include <QString>
#include <QStringList>

// Finds an audio CD the system has mounted: a volume holding a ".TOC.plist" under the volume
// folders, else a gvfs CD mount ("cdda:host=...") that holds tracks.
class AudioCDFinder {
public:
    AudioCDFinder();

    // The first mounted volume holding a ".TOC.plist", else the first gvfs CD mount holding
    // tracks, or a null string.
    QString findAudioCD() const;

    // Folders whose entries are mounted volumes; by default "/Volumes", /run/media/$USER,
    // /media/$USER and /media.
    void setVolumeRoots(const QStringList& roots) { m_volumeRoots = roots; }
    QStringList volumeRoots() const { return m_volumeRoots; }
    // Folders holding gvfs mounts: $XDG_RUNTIME_DIR/gvfs, then /run/user/<uid>/gvfs.
    static QStringList defaultGvfsRoots();
    void setGvfsRoots(const QStringList& roots) { m_gvfsRoots = roots; }
    // Looks nowhere: a front end that rips exactly the folder it was given.
    void lookNowhere();

private:
    QStringList m_volumeRoots;
    QStringList m_gvfsRoots;
};
