#include "consolefrontend.h"

#include "common/printabletext.h"
#include "common/unixsignalquitter.h"
#include "consolelines.h"
#include "model/album.h"
#include "rip/lameprocess.h"
#include "rip/sessionreport.h"

#include <QCoreApplication>

namespace {
// The encoder's own line ends and carriage returns stay in the window's line; a terminal shows
// the line without them.
QString withoutTrailingSpace(QString line)
{
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    return line;
}
} // namespace

ConsoleFrontEnd::ConsoleFrontEnd(LAMEProcess& session, ConsoleLines& lines, QObject* parent)
    : QObject(parent), m_session(session), m_lines(lines)
{
    // The failed tracks are in the closing summary, each with its reason.
    m_session.setAlertFailuresAtEnd(false);
    connect(&m_session, &LAMEProcess::statusLineChanged, this,
            [this](const QString& line) { showLine(line, true); });
    connect(&m_session, &LAMEProcess::timeRemainingChanged, this,
            [this](const QString& line) { showLine(line, false); });
    connect(&m_session, &LAMEProcess::albumPrepared, this,
            [this](const Album& album) { m_lines.message(foundLine(album)); });
    connect(&m_session, &LAMEProcess::albumFolderMade, this,
            [this](const QString& folder) { m_lines.message(QStringLiteral("Writing to ") + folder); });
    connect(&m_session, &LAMEProcess::sessionReported, this,
            [this](const SessionReport& report) {
                m_lines.message(summary(report));
                m_inaccurate = !report.accurate;
            });
    connect(&m_session, &LAMEProcess::sessionEnded, this, [this](const QStringList& failed) {
        m_ended = true;
        m_exitCode = failed.isEmpty() ? 0 : 1;
        // A rip AccurateRip does not vouch for is an error only when asked.
        if (m_exitCode == 0 && m_requireAccurate && m_inaccurate)
            m_exitCode = 3;

        m_lines.endOpenLine();
        // Leave the loop once the session's own handlers have returned.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    // Plain lines get one line per track as it starts, whatever else is running; the window's
    // line, which names every track in progress, would repeat the others at each start. The
    // line in place shows the window's line.
    connect(&m_session, &LAMEProcess::trackStarted, this, [this](int number, int) {
        if (!m_lines.inPlace())
            m_lines.showProgress(m_session.trackLine(number));
    });
    connect(&m_session, &LAMEProcess::sessionAbandoned, this, [this] {
        m_ended = true;
        m_exitCode = 1;
        m_lines.endOpenLine();
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
}

QString ConsoleFrontEnd::foundLine(const Album& album)
{
    // Titles may carry what a server sent; each part stays on the one line.
    const QString artist = withControlsEscaped(album.getArtist());
    const QString title = withControlsEscaped(album.getTitle());
    const QString origin = album.getOrigin().describe();
    if (artist.isEmpty() && title.isEmpty() && origin.isEmpty())
        return QStringLiteral("The disc was not identified; the titles come from the file names.");
    QString line = QStringLiteral("Found: ");
    if (!artist.isEmpty() && !title.isEmpty())
        line += artist + QStringLiteral(" – ") + title;
    else
        line += artist.isEmpty() ? title : artist;
    if (!album.getYear().isEmpty())
        line += QStringLiteral(" (%1)").arg(withControlsEscaped(album.getYear()));
    if (!origin.isEmpty())
        line += (artist.isEmpty() && title.isEmpty() ? QString() : QStringLiteral(", ")) +
                withControlsEscaped(origin);
    return line;
}

QString ConsoleFrontEnd::summary(const SessionReport& report)
{
    QStringList notRipped;
    if (report.skipped > 0)
        notRipped << QStringLiteral("%1 skipped").arg(report.skipped);
    if (report.stopped > 0)
        notRipped << QStringLiteral("%1 stopped").arg(report.stopped);
    if (report.failed() > 0)
        notRipped << QStringLiteral("%1 failed").arg(report.failed());
    QString text = QStringLiteral("Ripped %1 of %2 tracks").arg(report.done).arg(report.total);
    if (!notRipped.isEmpty())
        text += QStringLiteral(" (") + notRipped.join(QStringLiteral(", ")) + QLatin1Char(')');
    text += QStringLiteral(" into ") + report.albumFolder + QLatin1Char('.');
    // One line each, whatever the encoder's last words held.
    for (const SessionReport::Failure& failure : report.failures)
        text += QStringLiteral("\n  Track %1, %2 (%3), failed: ")
                    .arg(failure.position)
                    .arg(withControlsEscaped(failure.title), withControlsEscaped(failure.fileName)) +
                withControlsEscaped(failure.reason);
    if (!report.notReadExactly.isEmpty()) {
        QStringList tracks;
        for (const int position : report.notReadExactly)
            tracks << QString::number(position);
        text += QStringLiteral("\n  Not read exactly (see the rip log): track ") + tracks.join(QStringLiteral(", "));
    }
    for (const QString& line : report.accurateRip)
        text += QLatin1Char('\n') + line;
    if (!report.accurateRipSummary.isEmpty())
        text += QStringLiteral("\nAccurateRip: ") + report.accurateRipSummary;
    if (report.foundReadOffset)
        text += QStringLiteral("\nRip again with --read-offset %1%2 for a copy that matches theirs.")
                    .arg(*report.foundReadOffset)
                    .arg(report.drive.isEmpty() ? QString() : QStringLiteral(" (%1's read offset)").arg(report.drive));
    return text;
}

void ConsoleFrontEnd::runAlertWithTitle(const QString& title, const QString& text)
{
    m_lines.message(title + QLatin1Char('\n') + text);
}

void ConsoleFrontEnd::showLine(QString line, bool statusLine)
{
    line = withoutTrailingSpace(line);
    if (m_lines.inPlace()) {
        (statusLine ? m_status : m_timeRemaining) = line;
        showInPlace();
        return;
    }
    if (!line.isEmpty() && !(statusLine && line.startsWith(LAMEProcess::processing())))
        m_lines.showProgress(line);
}

void ConsoleFrontEnd::showInPlace()
{
    // The time remaining is the part kept whole when the line is cut to the terminal's width.
    // Without a status nothing runs: an estimate left from the session that ended is not shown.
    if (m_status.isEmpty())
        m_lines.showProgress(QString());
    else
        m_lines.showProgress(m_status, m_timeRemaining);
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
    m_lines.message(QStringLiteral("vesk-rip: the rip was stopped by %1.")
                        .arg(UnixSignalQuitter::signalName(signalNumber)));
    // A running session ends through sessionEnded, which leaves the event loop; a lookup
    // (perhaps waiting on the match question) through sessionAbandoned.
    m_session.stop();
    if (!m_ended) {
        m_ended = true;
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    }
}
