#pragma once

#include <QChar>
#include <QString>

// A control character: C0 (below space), DEL or C1 (U+0080 to U+009F). Text from outside (a
// server's titles and replies) loses or escapes these before it reaches a terminal, a file name
// or a command line.
constexpr bool isControlCharacter(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}
inline bool isControlCharacter(QChar c)
{
    return isControlCharacter(c.unicode());
}

// Text for a terminal: every control character written as \xNN, so that text from outside never
// reaches a terminal raw. With keepLineBreaks, line feeds and tabs stay as they are.
QString withControlsEscaped(const QString& text, bool keepLineBreaks = false);

// Text for a line of its own (a status line, a row of a list): control characters dropped, blanks
// at either end trimmed.
QString withoutControls(const QString& text);
