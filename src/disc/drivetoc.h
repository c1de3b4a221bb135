#pragma once

#include "disc/disctoc.h"

#include <QString>
#include <optional>

// The table of contents of the disc in a CD drive, read with libdiscid. Unlike the track files it
// is exact also for a disc whose first track starts late or that holds a data track.
class DriveTOC {
public:
    // The drive behind a gvfs CD mount: ".../gvfs/cdda:host=sr0" is deviceFolder + "/sr0". An empty
    // text for any other folder.
    static QString deviceForMount(const QString& folder,
                                  const QString& deviceFolder = QStringLiteral("/dev"));
    // The drive's table of contents, or nothing (with one log line) when the drive cannot be read.
    static std::optional<DiscTOC> read(const QString& device);
};
