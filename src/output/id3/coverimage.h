#pragma once

#include <QByteArray>
#include <QString>

// The cover images a tag may carry: JPEG or PNG, told apart by their first bytes, of a size a
// player loads without trouble.
class CoverImage {
public:
    CoverImage() = delete;

    static constexpr qsizetype maxBytes = 10 * 1024 * 1024;

    // "image/jpeg" or "image/png" by the bytes' signature; a null string for anything else.
    static QString mimeTypeOf(const QByteArray& bytes);
    // A null string when the image may go into a tag, else why not.
    static QString refusal(const QByteArray& bytes);
};
