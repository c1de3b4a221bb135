#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reads the genre names out of what "lame --genre-list" prints: one genre per line, its number
// first. Each name runs from the line's first letter to the end of the line.
class GenreListParser {
public:
    GenreListParser() = delete;

    // The encoder's output bytes as text, one character per byte.
    static QString textFromBytes(const QByteArray& bytes);
    // The names in output order. Blank lines and trailing text without letters give nothing; a
    // line that starts with a letter (no genre number, e.g. a message from the encoder) is skipped.
    static QStringList parse(const QString& text);
};
