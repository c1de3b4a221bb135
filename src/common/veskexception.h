#pragma once

#include <QString>
#include <exception>

// A failure carrying a name and a reason, raised by the socket and the disc lookups. The texts
// are for people and the log; what a failure leads to (an alert, a line in the log only) is
// decided by its kind.
class VeskException : public std::exception {
public:
    enum class Kind {
        Other,     // none of these: an answer of our own side that makes no sense
        NotFound,  // the source does not know the disc
        Refused,   // the server answered, and its answer is no
        Network,   // the connection: the name, the connect, a send or a receive, a time-out
        BadReply,  // an answer that cannot be read, or one cut off before its end
        Declined,  // the user chose none of the matches offered
        Cancelled, // Stop or quitting ended the lookup
    };

    // systemError: the system's error number (errno) behind a failure of the network; 0 when
    // the failure is none (a name the resolver does not know is not one either).
    VeskException(QString name, QString reason, Kind kind = Kind::Other, int systemError = 0)
        : m_name(std::move(name)), m_reason(std::move(reason)), m_kind(kind), m_systemError(systemError)
    {
        m_what = (m_name + QStringLiteral(": ") + m_reason).toUtf8();
    }
    const QString& name() const { return m_name; }
    const QString& reason() const { return m_reason; }
    Kind kind() const { return m_kind; }
    int systemError() const { return m_systemError; }
    // Whether the user is told: a disc nobody knows, a choice the user declined and a lookup
    // that was stopped only leave a line in the log.
    bool deservesAlert() const
    {
        return m_kind != Kind::NotFound && m_kind != Kind::Declined && m_kind != Kind::Cancelled;
    }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_name;
    QString m_reason;
    Kind m_kind;
    int m_systemError;
    QByteArray m_what;
};
