#pragma once

#include <QString>

// Paths as people write them: "~" and "~/..." stand for the home folder, and a relative path
// is taken against a base folder (the home folder unless a command line names the current one).
// Absolute paths come back unchanged, an empty text stays empty.
class UserPath {
public:
    static QString absolute(const QString& path);
    static QString absolute(const QString& path, const QString& base);
};
