#pragma once

#include <QString>

// Text for a terminal: every control character (C0, DEL, C1) written as \xNN, so that text
// from outside (a CDDB server's titles and replies) never reaches a terminal raw. With
// keepLineBreaks, line feeds and tabs stay as they are.
QString withControlsEscaped(const QString& text, bool keepLineBreaks = false);
