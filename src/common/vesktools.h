#pragma once

#include <QChar>
#include <QString>

// Stateless helpers for names and paths shared by the rip session, the lookup, the editor and
// the release files.
class VeskTools {
public:
    VeskTools() = delete;

    static QString replaceChar(QChar from, QChar to, const QString& text);
    // "/" and ":" become "-"; nothing else changes and the length stays the same.
    static QString stripBadPathChars(const QString& text);
    // The integer value of the text up to its first space; 0 when there is no space or no number.
    static qint32 extractRealTrackNumberFromString(const QString& text);
    // The text's leading decimal number as C's atoi reads it (blanks and a sign first); 0 when
    // there is none. Values far beyond 32 bits are cut short but stay out of 32-bit range.
    static qint64 leadingInteger(const QString& text);
    // Makes sure a directory exists, creating missing ancestors first. Silent on failure.
    static void createDirectoryStructure(const QString& path);
    // True when the folder can be listed and holds at least one entry (hidden ones count).
    static bool audioCDIsMounted(const QString& path);

    // A new, empty folder named after name inside folder (made when missing), numbered when
    // the name is taken. "/" and ":" in the name become "-". Returns its path, or a null string
    // when none was made.
    static QString createUniqueFolderAtPath(const QString& folder, const QString& name, bool replaceSpaces);
    // The same inside an artist folder (shared, never numbered) holding a numbered album folder.
    static QString createUniqueNestedFolderAtPath(const QString& folder, const QString& artistName,
                                                  const QString& albumName, bool replaceSpaces);

    // One path component that stays inside its parent: "/" becomes "-", NUL is dropped, other
    // control characters become "_", an empty name becomes "Untitled" and a name of dots only
    // ("." or "..") gets underscores instead. The result fits in maxNameBytes; with
    // keepExtension a short extension (".mp3") survives the shortening.
    static QString safePathComponent(const QString& name, bool keepExtension = false);
    // Longer "extensions" are part of the title ("Vol. 2 and the rest of a long sentence").
    static constexpr qsizetype maxExtensionLength = 16;
    // The most a file or folder name may take on Linux file systems, in bytes of UTF-8.
    static constexpr qsizetype maxNameBytes = 255;
    // stem, cut at a character boundary so that stem + suffix takes at most maxNameBytes in
    // UTF-8, followed by suffix. The suffix (an extension, a uniqueness number) is never cut.
    static QString fittedName(const QString& stem, const QString& suffix = QString());
    // Gives the file at from the name to, unless a file of that name exists: never replaces
    // one. False with the system's reason in *failure otherwise.
    static bool renameWithoutReplacing(const QString& from, const QString& to, QString* failure);
    // Whether files can be written in folder, or in the ancestor it would be made in when it is
    // missing: a null string, else the system's reason ("Permission denied", "Read-only file
    // system", "Not a directory"). Leaves nothing behind.
    static QString problemWritingInto(const QString& folder);
    // The bytes an ordinary user may still write on the folder's file system; -1 when unknown.
    static qint64 availableBytes(const QString& folder);
    // folder + "/" + name, without doubling a slash the folder ends with ("/" + "a" is "/a").
    static QString joinedPath(const QString& folder, const QString& name);
    // The path less its last component ("/a/b" -> "/a", "/a" -> "/", "a" -> ".").
    static QString deletingLastPathComponent(const QString& path);
    // The words as a shell would need them typed: each one that holds anything but letters,
    // digits and "-_./=:,+%@" in single quotes.
    static QString shellQuoted(const QStringList& words);
};
