#pragma once

#include "lookup/albumchooser.h"

#include <QByteArray>
#include <optional>

class ConsoleLines;
class QEventLoop;

// The match chooser of the command-line front end. On a terminal it lists the matches numbered
// from 1 and reads the user's choice (0 or an empty line: none of these); without a terminal
// nobody can answer, and the first match is taken, saying which. The answer is awaited in the
// event loop, not in a blocking read, so that Ctrl+C (through UnixSignalQuitter) and Stop are
// heard while the question is open.
class ConsoleAlbumChooser : public AlbumChooser {
public:
    // Reads answers from the file descriptor input (not owned, never closed) and shows the list
    // and the question through lines; interactive says whether a person is there to answer.
    ConsoleAlbumChooser(int input, ConsoleLines& lines, bool interactive);
    // Whether standard input is a terminal.
    static bool standardInputIsTerminal();

    int displayMultipleAlbumMatches(const QStringList& matchLines) override;
    // The lookup asking was stopped (a signal, Stop): an open question ends at once, declined.
    void cancelChoice() override;

private:
    // The next line typed, with its line end, or what was left at the end of the input (empty
    // at its end); nothing when the question was cancelled meanwhile.
    std::optional<QByteArray> readLine();

    int m_input;
    ConsoleLines& m_lines;
    bool m_interactive;
    QByteArray m_pending; // read but not yet taken: what was typed ahead of the next question
    bool m_inputEnded = false;
    bool m_cancelled = false;
    QEventLoop* m_waiting = nullptr;
};
