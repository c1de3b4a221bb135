#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

class Cancellation;

// How the commands of one CDDB conversation reach a server and its replies come back: the CDDBP
// stream (CDDBTcpTransport) or one HTTP request a command (CDDBHttpTransport). The conversation
// itself (query, choice, read) does not know which. Failures are raised as LookupErrors already
// put in words, or as VeskExceptions: of the kind Network for a connection that failed, Cancelled
// once the cancellation is raised, BadReply for a reply that cannot be read whole.
class CDDBTransport {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~CDDBTransport();

    // Reaches the server and greets it at the highest protocol level it speaks, up to 6.
    virtual void open() = 0;
    // Sends one command (without its line end) and returns the whole reply's bytes.
    virtual QByteArray exchange(const QString& command) = 0;
    // Says goodbye once the album is found; a server that has gone already is no failure.
    virtual void close() = 0;

    // The greeting's words: user, host, client, version.
    void setHello(const QStringList& words) { m_hello = words; }
    // The address the user gave for the greeting (empty: none), for what to do when it is refused.
    void setEmail(const QString& email) { m_email = email; }
    // Longest wait for each step in milliseconds; 0 or less for the transport's default.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    // After this moment no wait goes on; the conversation moves it on while the user chooses.
    void setDeadline(Clock::time_point deadline) { m_deadline = deadline; }
    void setCancellation(std::shared_ptr<const Cancellation> cancellation)
    {
        m_cancellation = std::move(cancellation);
    }

protected:
    QStringList m_hello;
    QString m_email;
    int m_timeout = 0;
    Clock::time_point m_deadline = Clock::time_point::max();
    std::shared_ptr<const Cancellation> m_cancellation;
};
