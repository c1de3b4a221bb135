#include "consolealbumchooser.h"

#include "common/printabletext.h"
#include "consolelines.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <cerrno>
#include <unistd.h>

ConsoleAlbumChooser::ConsoleAlbumChooser(int input, ConsoleLines& lines, bool interactive)
    : m_input(input), m_lines(lines), m_interactive(interactive)
{
}

bool ConsoleAlbumChooser::standardInputIsTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}

int ConsoleAlbumChooser::displayMultipleAlbumMatches(const QStringList& matchLines)
{
    if (matchLines.isEmpty())
        return -1;
    if (!m_interactive) {
        m_lines.message(QStringLiteral("Several discs match; taking the first: ") +
                        withControlsEscaped(matchLines.first()));
        return 0;
    }
    m_cancelled = false;
    QString text = QStringLiteral("Several discs match this one:");
    for (qsizetype i = 0; i < matchLines.size(); ++i)
        text += QStringLiteral("\n%1) ").arg(i + 1) + withControlsEscaped(matchLines.at(i));
    m_lines.message(text);
    while (true) {
        m_lines.prompt(QStringLiteral("Choose 1-%1 (0 or Enter: none of these): ").arg(matchLines.size()));
        const std::optional<QByteArray> line = readLine();
        if (!line)
            return -1; // cancelled: the question's line is ended by whoever writes next
        if (line->endsWith('\n'))
            m_lines.promptAnswered();
        const QByteArray answer = line->trimmed();
        if (answer.isEmpty() || answer == "0")
            return -1; // an empty line, or the end of the input
        bool ok = false;
        const int number = answer.toInt(&ok);
        if (ok && number >= 1 && number <= matchLines.size())
            return number - 1;
        m_lines.message(QStringLiteral("Please enter one of the numbers shown."));
    }
}

void ConsoleAlbumChooser::cancelChoice()
{
    m_cancelled = true;
    if (m_waiting)
        m_waiting->quit();
}

std::optional<QByteArray> ConsoleAlbumChooser::readLine()
{
    if (!m_pending.contains('\n') && !m_inputEnded) {
        // The event loop goes on meanwhile: the signal quitter's notifier and the session's stop
        // reach cancelChoice() from inside it.
        QEventLoop loop;
        QSocketNotifier notifier(m_input, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
            char buffer[4096];
            const ssize_t got = ::read(m_input, buffer, sizeof buffer);
            if (got > 0)
                m_pending.append(buffer, got);
            else if (got == 0 || (errno != EINTR && errno != EAGAIN))
                m_inputEnded = true;
            if (m_pending.contains('\n') || m_inputEnded) {
                notifier.setEnabled(false);
                loop.quit();
            }
        });
        m_waiting = &loop;
        loop.exec();
        m_waiting = nullptr;
        // A loop that returned without an answer was ended from outside (the application
        // quitting): nobody is left to answer.
        if (!m_pending.contains('\n') && !m_inputEnded)
            return std::nullopt;
    }
    if (m_cancelled)
        return std::nullopt;
    const qsizetype end = m_pending.indexOf('\n');
    const QByteArray line = end < 0 ? m_pending : m_pending.left(end + 1);
    m_pending.remove(0, line.size());
    return line;
}
