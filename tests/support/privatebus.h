#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A D-Bus daemon of the test's own, with nothing on it that the test does not put there (no
// service activation), so that no test reaches the machine's system or session bus.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when no daemon could be started; error() then says why.
    QString address() const { return m_address; }
    QString error() const { return m_error; }
    // A new connection to the bus under a name unique in the process; closed with the bus.
    QDBusConnection connect(const QString& name);

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QStringList m_connections;
};
