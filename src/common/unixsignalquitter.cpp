#include "common/unixsignalquitter.h"

#include "common/log.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalSockets[2] = {-1, -1};
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The signal written into the socket and not yet handled on the event loop; 0 when none.
volatile std::sig_atomic_t pendingSignal = 0;

// Only async-signal-safe work here: one byte into the socket the event loop watches.
void onSignal(int number)
{
    if (pendingSignal != 0)
        ::_exit(128 + number);
    pendingSignal = number;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}
} // namespace

UnixSignalQuitter::UnixSignalQuitter(std::function<void(int)> quit, QObject* parent)
    : QObject(parent), m_quit(std::move(quit))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        veskLog(QStringLiteral("Signals will end the program without an orderly stop"));
        return;
    }
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) != 1)
            return;
        if (m_quit)
            m_quit(int(byte));
        pendingSignal = 0;
    });
    pendingSignal = 0;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int number : handledSignals)
        sigaddset(&action.sa_mask, number);
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

QString UnixSignalQuitter::signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signalNumber);
    }
}
