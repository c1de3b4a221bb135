#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a session logging out, Ctrl+C in a terminal, a service
// manager stopping us) into an ordered end on the event loop: the given action runs there with
// the signal's number, so a rip is stopped as by its Stop button. A second signal that arrives
// before the event loop got to the first (the loop is blocked) ends the process at once with
// status 128 + the signal, so the user is never stuck.
class UnixSignalQuitter : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalQuitter(std::function<void(int signalNumber)> quit, QObject* parent = nullptr);
    ~UnixSignalQuitter() override;

    // "SIGTERM", "SIGINT" or "SIGHUP" for the handled signals, else "signal N".
    static QString signalName(int signalNumber);

private:
    std::function<void(int)> m_quit;
    QSocketNotifier* m_notifier = nullptr;
};
