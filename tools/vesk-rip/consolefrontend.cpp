#include "consolefrontend.h"

#include "common/printabletext.h"
#include "common/unixsignalquitter.h"
#include "rip/lameprocess.h"

#include <QCoreApplication>
#include <cstdio>

namespace {
// Titles and alerts may carry what a server sent: control characters other than line ends and
// tabs are shown escaped, so that none of them reaches the terminal raw.
void printLine(FILE* stream, const QString& line)
{
    const QByteArray bytes = withControlsEscaped(line, true).toLocal8Bit();
    std::fprintf(stream, "%s\n", bytes.constData());
    std::fflush(stream);
}
} // namespace

ConsoleFrontEnd::ConsoleFrontEnd(LAMEProcess& session, QObject* parent) : QObject(parent), m_session(session)
{
    connect(&m_session, &LAMEProcess::statusLineChanged, this,
            [this](const QString& line) { showLine(line, true); });
    connect(&m_session, &LAMEProcess::timeRemainingChanged, this,
            [this](const QString& line) { showLine(line, false); });
    connect(&m_session, &LAMEProcess::sessionSummary, this,
            [](const QString& text) { printLine(stderr, text); });
    connect(&m_session, &LAMEProcess::sessionEnded, this, [this](const QStringList& failed) {
        m_ended = true;
        m_exitCode = failed.isEmpty() ? 0 : 1;
        // Leave the loop once the session's own handlers have returned.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    // A terminal gets one line per track as it starts, whatever else is running; the window's
    // line, which names every track in progress, would repeat the others at each start.
    connect(&m_session, &LAMEProcess::trackStarted, this,
            [this](int number, int) { printLine(stdout, m_session.trackLine(number)); });
    connect(&m_session, &LAMEProcess::sessionAbandoned, this, [this] {
        m_ended = true;
        m_exitCode = 1;
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
}

void ConsoleFrontEnd::runAlertWithTitle(const QString& title, const QString& text)
{
    printLine(stderr, title + QLatin1Char('\n') + text);
}

void ConsoleFrontEnd::showLine(QString line, bool statusLine)
{
    // The encoder's own line ends and carriage returns stay in the window's line; a terminal
    // shows the line without them.
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    if (!line.isEmpty() && !(statusLine && line.startsWith(LAMEProcess::processing())))
        printLine(stdout, line);
}

bool ConsoleFrontEnd::start()
{
    m_session.runEncoder();
    // A session that did not start (no source, no encoder, nothing to rip) has ended already
    // without a run; one whose runs all failed at once has ended through sessionEnded.
    return m_ended || m_session.isRunning();
}

void ConsoleFrontEnd::stopBySignal(int signalNumber)
{
    if (m_stoppingSignal != 0)
        return;
    m_stoppingSignal = signalNumber;
    printLine(stderr, QStringLiteral("vesk-rip: the rip was stopped by %1.")
                          .arg(UnixSignalQuitter::signalName(signalNumber)));
    // A running session ends through sessionEnded, which leaves the event loop.
    m_session.stop();
    if (!m_ended) {
        m_ended = true;
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    }
}
