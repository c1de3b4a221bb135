#pragma once

#include "common/alertpresenter.h"

#include <QObject>
#include <QString>
#include <QStringList>

class Album;
class ConsoleLines;
class LAMEProcess;
struct SessionReport;

// vesk-rip's face: the status and time-remaining lines as they change on standard output (one
// line in place on a terminal), and on standard error the album found, where its files go,
// alerts and at the end what became of the tracks. It ends the event loop with the session's
// exit code.
class ConsoleFrontEnd : public QObject, public AlertPresenter {
    Q_OBJECT
public:
    // lines is not owned and outlives the front end.
    ConsoleFrontEnd(LAMEProcess& session, ConsoleLines& lines, QObject* parent = nullptr);

    void runAlertWithTitle(const QString& title, const QString& text) override;

    // Starts the session. Returns false when it did not start (the reason was shown); the event
    // loop then has nothing to wait for.
    bool start();
    // A signal asks to stop, as the window's Stop button does: the encoder ends at once, the
    // release files are written for what is done and one line says so.
    void stopBySignal(int signalNumber);
    // With it, a rip AccurateRip does not call accurate (a mismatch, a disc it does not know, no
    // check) ends with 3 even when every track was encoded.
    void setRequireAccurate(bool require) { m_requireAccurate = require; }
    // 0 when every track was encoded, 128 + the signal when one stopped the rip, 3 for a rip not
    // shown accurate when that is required, 1 otherwise.
    int exitCode() const { return m_stoppingSignal != 0 ? 128 + m_stoppingSignal : m_exitCode; }

    // "Found: Artist – Title (1994), CDDB: rock 1402ce03", or that the titles come from the
    // file names when nobody identified the album.
    static QString foundLine(const Album& album);
    // "Ripped 3 of 5 tracks (1 skipped, 1 failed) into FOLDER." and a line for each failure.
    static QString summary(const SessionReport& report);

private:
    void showLine(QString line, bool statusLine);
    void showInPlace();

    LAMEProcess& m_session;
    ConsoleLines& m_lines;
    QString m_status;
    QString m_timeRemaining;
    bool m_ended = false;
    int m_stoppingSignal = 0;
    int m_exitCode = 1;
    bool m_requireAccurate = false;
    bool m_inaccurate = true;
};
