#include "consolelines.h"

#include "common/printabletext.h"

#include <QIODevice>
#include <algorithm>
#include <cwchar>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// A terminal's width when it does not say (a pseudo-terminal nobody sized).
constexpr int defaultColumns = 80;

// The cells a character takes on a terminal: the C library's answer where the locale gives one,
// else an estimate from the Unicode blocks of wide (East Asian, emoji) and combining characters.
int cellsOf(char32_t c)
{
    if (const int width = ::wcwidth(wchar_t(c)); width >= 0)
        return width;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        break;
    }
    const bool wide =
        (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf) || (c >= 0xac00 && c <= 0xd7a3) ||
        (c >= 0xf900 && c <= 0xfaff) || (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60) ||
        (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x1f300 && c <= 0x1faff) || (c >= 0x20000 && c <= 0x3fffd);
    return wide ? 2 : 1;
}
} // namespace

ConsoleLines::ConsoleLines(QIODevice& progress, QIODevice& messages, std::function<int()> columns)
    : m_progress(progress), m_messages(messages), m_columns(std::move(columns))
{
}

std::function<int()> ConsoleLines::terminalColumns(int fd)
{
    if (::isatty(fd) != 1)
        return {};
    return [fd] {
        struct winsize size {};
        if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
            return defaultColumns;
        return int(size.ws_col);
    };
}

int ConsoleLines::cells(const QString& text)
{
    int total = 0;
    for (const char32_t c : text.toUcs4())
        total += cellsOf(c);
    return total;
}

QString ConsoleLines::fitted(const QString& text, int columns)
{
    if (cells(text) <= columns)
        return text;
    const QString ellipsis = QStringLiteral("…");
    const int room = columns - cells(ellipsis);
    QString cut;
    int used = 0;
    for (const char32_t c : text.toUcs4()) {
        used += cellsOf(c);
        if (used > room)
            break;
        cut += QString::fromUcs4(&c, 1);
    }
    return room >= 0 ? cut + ellipsis : QString();
}

void ConsoleLines::write(QIODevice& device, const QString& text)
{
    device.write(text.toUtf8());
}

void ConsoleLines::showProgress(const QString& line, const QString& tail)
{
    // What a server sent (a title) reaches the terminal escaped.
    const QString shownLine = withControlsEscaped(line);
    const QString shownTail = withControlsEscaped(tail);
    std::lock_guard lock(m_mutex);
    if (!m_columns) {
        for (const QString& one : {shownLine, shownTail})
            if (!one.isEmpty())
                write(m_progress, one + QLatin1Char('\n'));
        return;
    }
    if (shownLine.isEmpty() && shownTail.isEmpty()) {
        if (m_progressOpen)
            write(m_progress, QStringLiteral("\r\x1b[K"));
        m_progressOpen = false;
        return;
    }
    if (m_promptOpen) {
        write(m_messages, QStringLiteral("\n"));
        m_promptOpen = false;
    }
    // The last column stays free: a terminal that wraps on reaching it would move to a new line.
    const int columns = std::max(1, m_columns() - 1);
    const QString separator = QStringLiteral("  ");
    QString shown;
    if (shownTail.isEmpty())
        shown = fitted(shownLine, columns);
    else if (shownLine.isEmpty())
        shown = fitted(shownTail, columns);
    else if (const int room = columns - cells(separator + shownTail); room > 0)
        shown = fitted(shownLine, room) + separator + shownTail;
    else
        shown = fitted(shownTail, columns);
    write(m_progress, QStringLiteral("\r") + shown + QStringLiteral("\x1b[K"));
    m_progressOpen = true;
}

void ConsoleLines::endOpenLineLocked()
{
    if (m_progressOpen)
        write(m_progress, QStringLiteral("\n"));
    if (m_promptOpen)
        write(m_messages, QStringLiteral("\n"));
    m_progressOpen = false;
    m_promptOpen = false;
}

void ConsoleLines::message(const QString& text)
{
    std::lock_guard lock(m_mutex);
    endOpenLineLocked();
    write(m_messages, withControlsEscaped(text, true) + QLatin1Char('\n'));
}

void ConsoleLines::prompt(const QString& text)
{
    std::lock_guard lock(m_mutex);
    endOpenLineLocked();
    write(m_messages, withControlsEscaped(text));
    m_promptOpen = true;
}

void ConsoleLines::promptAnswered()
{
    std::lock_guard lock(m_mutex);
    m_promptOpen = false;
}

void ConsoleLines::endOpenLine()
{
    std::lock_guard lock(m_mutex);
    endOpenLineLocked();
}
