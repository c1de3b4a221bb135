#pragma once

#include <QString>

// Writes the release files of a finished rip into folder: the M3U playlist m3uName and the SFV
// checksum list sfvName, listing the folder's MP3 files.
void writeReleaseFiles(const QString& folder, const QString& m3uName, const QString& sfvName,
                       bool replaceSpaces);
