#pragma once

#include <QString>

// The application's resource folder: resources/ next to the executable in the build tree,
// share/vesk beside the bin folder when installed. Tests and tools may point it elsewhere.
class Resources {
public:
    static QString resourceDirectory();
    static void setResourceDirectory(const QString& directory);
    // The full path of name (+ "." + type when type is not empty) inside subdirectory, or a null
    // string when no such file exists.
    static QString pathForResource(const QString& name, const QString& type,
                                   const QString& subdirectory = QString());
};
