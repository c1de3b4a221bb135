#pragma once

#include "common/crc32.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Writes the release files of an album folder at the end of a rip: an M3U playlist of the
// folder's entries and an SFV list of their CRC-32 checksums.
class VeskFileGenerator {
public:
    VeskFileGenerator();
    // The session's file names in track order: those in the folder come first in this order,
    // whatever order the encoders finished in; any other entry follows.
    void setTrackOrder(const QStringList& names) { m_trackOrder = names; }
    // Files the lists leave out: tracks whose encoder was stopped, skipped or failed. They stay in
    // the folder, but a playlist or checksum list would present them as finished tracks.
    void setIncomplete(const QStringList& names) { m_incomplete = names; }

    // Writes folder/filename listing every entry of the folder, one name and "\n" per line.
    // Each returns a null string when the file was written whole, else what went wrong: then no
    // file of that name is left, neither empty nor partial.
    QString makeM3UFile(const QString& folder, const QString& filename, bool replaceSpaces);
    // Writes folder/filename with the SFV header and one "name crc\r\n" line per file (the CRC in
    // eight lower-case hex digits), skipping playlists (".m3u") and ".DS_Store".
    QString makeSFVFile(const QString& folder, const QString& filename, bool replaceSpaces);
    // The CRC-32 of a block of bytes; 0 for an empty one.
    static quint32 get_crc(QByteArrayView bytes) { return Crc32::checksum(bytes); }

private:
    // The folder's entry names (hidden ones included) in the order the release files list them:
    // numbers by value, as a person reads track names. Empty when the folder cannot be listed.
    QStringList listFolder(const QString& folder) const;
    // The CRC-32 of a file's contents, read in bounded blocks. Anything that is not a regular
    // file that can be read to its end (a folder, a pipe, a file without permission) gives 0.
    static quint32 crcOfFile(const QString& path);

    static QString releaseFileName(const QString& filename, bool replaceSpaces);
    static QString writeReleaseFile(const QString& folder, const QString& name, const QByteArray& contents);

    QStringList m_trackOrder;
    QStringList m_incomplete;
};
