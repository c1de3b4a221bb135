#pragma once

#include "disc/disctoc.h"

#include <QString>
#include <optional>

// Where a source folder's table of contents comes from, best first: the ".TOC.plist" a Mac CD
// volume carries, the drive behind a gvfs CD mount, and at last the track files' own lengths.
// Whatever the source, the disc identifier and the query are computed the same way from it.
class DiscTOCReader {
public:
    // Nothing when no source gives a table of contents; then there is no lookup.
    static std::optional<DiscTOC> readDiscTOC(const QString& sourceFolder,
                                              const QString& deviceFolder = QStringLiteral("/dev"));
};
