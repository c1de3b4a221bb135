#pragma once

#include "lookup/albumchooser.h"

#include <QIODevice>

// The match chooser of the command-line front end. On a terminal it lists the matches numbered
// from 1 and reads the user's choice (0 or an empty line: none of these); without a terminal
// nobody can answer, and the first match is taken.
class ConsoleAlbumChooser : public AlbumChooser {
public:
    // Reads answers from input and writes the list to output; interactive says whether a person
    // is there to answer. Neither device is owned.
    ConsoleAlbumChooser(QIODevice& input, QIODevice& output, bool interactive);
    // Standard input and standard error; interactive when standard input is a terminal.
    static bool standardInputIsTerminal();

    int displayMultipleAlbumMatches(const QStringList& matchLines) override;

private:
    QIODevice& m_input;
    QIODevice& m_output;
    bool m_interactive;
};
