#pragma once

#include <QString>
#include <QUrl>

// The CDDB server as the user names it. A web address ("https://gnudb.gnudb.org/~cddb/cddb.cgi")
// is asked over HTTP or HTTPS, one request a command; anything else is a host name (or address),
// optionally with ":port" ("[::1]:8880" for an IPv6 address), asked in the CDDBP conversation on
// its port.
class CDDBServerAddress {
public:
    // defaultPort is the CDDBP port of a host name given without one.
    explicit CDDBServerAddress(const QString& text, quint16 defaultPort = 8880);

    // Whether the text names a web address: it has a scheme ("...://"), which the HTTP transport
    // checks is one it speaks.
    bool isWebAddress() const { return m_web; }
    // The web address as given; empty for a host name.
    const QUrl& url() const { return m_url; }
    // The host to connect to, without brackets.
    QString host() const { return m_host; }
    // The CDDBP port to connect to; 0 for a web address.
    quint16 port() const { return m_port; }

    // The server as people read it in a sentence: the host of a web address, else the text as given.
    QString shownName() const { return m_shown; }
    static QString shownName(const QString& text) { return CDDBServerAddress(text).shownName(); }

private:
    bool m_web = false;
    QUrl m_url;
    QString m_host;
    quint16 m_port = 0;
    QString m_shown;
};
