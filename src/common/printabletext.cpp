#include "common/printabletext.h"

QString withControlsEscaped(const QString& text, bool keepLineBreaks)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (isControlCharacter(u) && !(keepLineBreaks && (u == u'\n' || u == u'\t')))
            shown += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString withoutControls(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isControlCharacter(c))
            kept += c;
    }
    return kept.trimmed();
}
