#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a session logging out, Ctrl+C in a terminal) into an ordered
// end on the event loop: the given action runs there, so a rip is stopped and the preferences
// are saved as when the user quits.
class UnixSignalQuitter : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalQuitter(std::function<void()> quit, QObject* parent = nullptr);
    ~UnixSignalQuitter() override;

private:
    std::function<void()> m_quit;
    QSocketNotifier* m_notifier = nullptr;
};
