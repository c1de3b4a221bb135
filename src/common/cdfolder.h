#pragma once

#include <QString>

// What makes a folder an audio CD: a Mac CD volume carries its table of contents as
// ".TOC.plist" at its root, and gvfs shows a disc as a mount named "cdda:host=<drive>".
class CDFolder {
public:
    CDFolder() = delete;

    static QString tocFileName() { return QStringLiteral(".TOC.plist"); }
    static QString gvfsMountPrefix() { return QStringLiteral("cdda:host="); }
    // A mount's own name, "cdda:host=sr0".
    static bool isGvfsMountName(const QString& name) { return name.startsWith(gvfsMountPrefix()); }
    // A folder holding a disc's table of contents, or a gvfs CD mount: read from the disc itself,
    // so one track at a time.
    static bool isCDSource(const QString& folder);
};
