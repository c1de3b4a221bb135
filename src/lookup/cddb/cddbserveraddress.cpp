#include "lookup/cddb/cddbserveraddress.h"

namespace {
// "host:port" or "[address]:port": the port when one follows the host, else 0. A bare IPv6
// address ("::1") has colons of its own and no port.
quint16 portAfterHost(const QString& text, QString* host)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return 0;
    QString name = text.left(colon);
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    else if (name.contains(QLatin1Char(':')))
        return 0;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || name.isEmpty())
        return 0;
    *host = name;
    return quint16(port);
}
} // namespace

CDDBServerAddress::CDDBServerAddress(const QString& text, quint16 defaultPort)
{
    const QString given = text.trimmed();
    m_web = given.contains(QStringLiteral("://"));
    if (m_web) {
        m_url = QUrl(given, QUrl::StrictMode);
        m_host = m_url.host();
        m_shown = m_host.isEmpty() ? given : m_host;
        return;
    }
    m_host = given;
    m_port = defaultPort;
    if (const quint16 port = portAfterHost(given, &m_host))
        m_port = port;
    m_shown = text;
}
