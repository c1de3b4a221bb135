#pragma once

#include "common/alertpresenter.h"

#include <QObject>
#include <QStringList>

class LAMEProcess;

// vesk-rip's face: prints the status and time-remaining lines as they change on standard output,
// alerts on standard error, and ends the event loop with the session's exit code.
class ConsoleFrontEnd : public QObject, public AlertPresenter {
    Q_OBJECT
public:
    explicit ConsoleFrontEnd(LAMEProcess& session, QObject* parent = nullptr);

    void runAlertWithTitle(const QString& title, const QString& text) override;

    // Starts the session. Returns false when it did not start (the reason was shown); the event
    // loop then has nothing to wait for.
    bool start();
    // A signal asks to stop, as the window's Stop button does: the encoder ends at once, the
    // release files are written for what is done and one line says so.
    void stopBySignal(int signalNumber);
    // 0 when every track was encoded, 128 + the signal when one stopped the rip, 1 otherwise.
    int exitCode() const { return m_stoppingSignal != 0 ? 128 + m_stoppingSignal : m_exitCode; }

private:
    void showLine(QString line, bool statusLine);

    LAMEProcess& m_session;
    bool m_ended = false;
    int m_stoppingSignal = 0;
    int m_exitCode = 1;
};
