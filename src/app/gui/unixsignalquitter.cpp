#include "app/gui/unixsignalquitter.h"

#include "common/log.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalSockets[2] = {-1, -1};
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here: one byte into the socket the event loop watches.
void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}
} // namespace

UnixSignalQuitter::UnixSignalQuitter(std::function<void()> quit, QObject* parent)
    : QObject(parent), m_quit(std::move(quit))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        veskLog(QStringLiteral("Signals will end the application without saving the preferences"));
        return;
    }
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) == 1 && m_quit)
            m_quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : handledSignals)
        ::sigaction(number, &action, nullptr);
}

UnixSignalQuitter::~UnixSignalQuitter()
{
    for (int number : handledSignals)
        std::signal(number, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    for (int& socket : signalSockets) {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
}
