#include "consolealbumchooser.h"

#include "common/printabletext.h"

#include <unistd.h>

ConsoleAlbumChooser::ConsoleAlbumChooser(QIODevice& input, QIODevice& output, bool interactive)
    : m_input(input), m_output(output), m_interactive(interactive)
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
    if (!m_interactive)
        return 0;
    QByteArray text = "The server knows several discs that match this one:\n";
    for (qsizetype i = 0; i < matchLines.size(); ++i)
        text += QByteArray::number(i + 1) + ") " + withControlsEscaped(matchLines.at(i)).toUtf8() + '\n';
    m_output.write(text);
    while (true) {
        m_output.write(
            QStringLiteral("Choose 1-%1 (0 or Enter: none of these): ").arg(matchLines.size()).toUtf8());
        // Some devices (a terminal) deliver a line only once it is complete.
        while (!m_input.canReadLine() && !m_input.atEnd() && m_input.waitForReadyRead(-1)) {
        }
        const QByteArray line = m_input.readLine();
        const QByteArray answer = line.trimmed();
        if (answer.isEmpty() || answer == "0")
            return -1; // an empty line, or the end of the input
        bool ok = false;
        const int number = answer.toInt(&ok);
        if (ok && number >= 1 && number <= matchLines.size())
            return number - 1;
        m_output.write("Please enter one of the numbers shown.\n");
    }
}
