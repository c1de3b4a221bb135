#pragma once

#include <QString>

#include <exception>

// A failure carrying a name and a reason, raised by the socket and the CDDB conversation.
class VeskException : public std::exception {
public:
    VeskException(QString name, QString reason) : m_name(std::move(name)), m_reason(std::move(reason))
    {
        m_what = (m_name + QStringLiteral(": ") + m_reason).toUtf8();
    }
    const QString& name() const { return m_name; }
    const QString& reason() const { return m_reason; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_name;
    QString m_reason;
    QByteArray m_what;
};
