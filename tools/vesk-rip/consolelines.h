#pragma once

#include <QString>
#include <functional>
#include <mutex>

class QIODevice;

// Where vesk-rip writes: its progress on standard output, messages and questions on standard
// error. On a terminal the progress is one line rewritten in place (carriage return, the line,
// erase to its end), cut to the terminal's width so that it never wraps; a message or a question
// first ends that line, so that nothing is written over it or after it. Elsewhere (a pipe, a
// file) every progress line is a line of its own, as scripts and the tests read them. Messages
// come from the lookup's worker (the log) as well as from the main thread.
class ConsoleLines {
public:
    // columns gives the terminal's width for progress in place; an empty function for plain
    // lines. Neither device is owned.
    ConsoleLines(QIODevice& progress, QIODevice& messages, std::function<int()> columns = {});
    // The width of the terminal on fd, read anew at each line (a window may be resized); an
    // empty function when fd is no terminal.
    static std::function<int()> terminalColumns(int fd);

    bool inPlace() const { return bool(m_columns); }
    // Plain: the line and its end. In place: the line shown is replaced by line and tail, with
    // tail kept whole and line cut to what fits; an empty line and tail erase it.
    void showProgress(const QString& line, const QString& tail = QString());
    // One message, of one or more lines; control characters are escaped, line ends and tabs kept.
    void message(const QString& text);
    // A question, without a line end: the answer is typed after it. Its line stays open (a
    // message first ends it) until promptAnswered().
    void prompt(const QString& text);
    // The user ended the answer with Enter, which the terminal echoed: the line has ended.
    void promptAnswered();
    // Ends whatever line was left open: the progress in place, a question not answered.
    void endOpenLine();

    // The terminal cells text takes: two for a wide character, none for a combining mark.
    static int cells(const QString& text);
    // text when it takes at most columns cells, else its start cut to fit with "…" after it.
    static QString fitted(const QString& text, int columns);

private:
    void endOpenLineLocked();
    void write(QIODevice& device, const QString& text);

    QIODevice& m_progress;
    QIODevice& m_messages;
    std::function<int()> m_columns;
    std::mutex m_mutex;
    bool m_progressOpen = false;
    bool m_promptOpen = false;
};
