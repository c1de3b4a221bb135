#pragma once

#include <QStringList>

// libcdio's log, which is where its image drivers say why a cue sheet or .toc file did not open.
// Its messages go to Vesk's log, or, while a Capture lives on the same thread, into that capture.
class CdioLog {
public:
    // Routes libcdio's messages here; done once, before the first libcdio call.
    static void install();

    // Collects the messages libcdio logs on this thread while it lives (nested captures: the
    // innermost collects).
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        const QStringList& lines() const { return m_lines; }
        void add(const QString& line) { m_lines.append(line); }

    private:
        QStringList m_lines;
        Capture* m_outer;
    };
};
