#pragma once

#include "disc/disctoc.h"
#include "lookup/disclookup.h"
#include "model/album.h"

#include <QString>
#include <chrono>
#include <memory>
#include <optional>

class CDDBTransport;
class Cancellation;
class LookupHost;

// The CDDB source of disc lookups: computes the disc's CDDB identifier and holds one
// conversation with a freedb server to find the disc's album, at protocol level 6 (UTF-8) when
// the server speaks it, else level 5. A server named by a web address (http:// or https://) is
// asked over HTTP, one request a command; one named by its host (optionally "host:port") in the
// CDDBP conversation on port 8880. Every failure ends the conversation and is
// put in words (what happened, what to do, the server's own status line) for one line in the
// log; unless the server does not know the disc, the user declined its matches or the lookup
// was cancelled, the host is told through lookupFailed.
class FreedbAccess : public DiscLookup {
public:
    static constexpr quint16 defaultPort = 8880;
    // The whole conversation, name resolution included, ends after this long whatever the
    // server does; each single step has the socket's own, shorter time-out.
    static constexpr int conversationSeconds = 60;

    FreedbAccess(LookupHost& host, const DiscTOC& toc);
    ~FreedbAccess() override;

    // A factory for the rip session. email is read when a lookup is made (empty: none); port and
    // time-out (milliseconds per step, 0 for the socket's default) are there for tests and tools.
    static DiscLookupFactory factory(std::function<QString()> email = {}, quint16 port = defaultPort,
                                     int timeout = 0);

    void lookupCDInformation(const QString& serverHost) override;
    std::optional<Album> getAlbumInfo() const override { return m_albumInfo; }
    void cancel() override;

    // The "cddb read" line (ending in LF) for a reply: code 200 with the query reply, 210 or 211
    // with a text whose second line is the chosen match line, anything else the object's own
    // identifier under "rock". A chosen match brings its own identifier, and the object's is then
    // cleared. Throws VeskException when the text lacks the category or identifier.
    QString buildCDDBReadEntryString(qint32 code, const QString& text);
    static std::optional<QString> getToken(const QString& key, const QString& info);
    static Album parseAlbumInfo(const QString& info);
    // Asks the host to choose among the matches of a 210 or 211 query reply, shown as people
    // read them ("Artist – Title (rock)"). The chosen match line as the server sent it, or nothing
    // when the user declined them all.
    std::optional<QString> displayAlbumSelectionDialog(const QString& reply);

    // The query line ("cddb query ..." ending in LF) for this disc.
    QString queryString() const;
    // The greeting's words: the e-mail address's user and domain when one is set (the public
    // server wants a real address), else the login and host names; then the client and version.
    QStringList helloWords() const;
    // The "cddb hello" line of those words, ending in LF.
    QString helloString() const;
    quint32 cddbDiscId() const { return m_cddbDiscid; }
    const DiscTOC& toc() const { return m_toc; }

    // The CDDBP port of a server named without one.
    void setPort(quint16 port) { m_port = port; }
    // Longest wait for the connect and for each receive and send, in milliseconds.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    void setEmail(const QString& email) { m_email = email; }
    void setConversationSeconds(int seconds) { m_conversationSeconds = seconds; }

    // The server in words, for the host's status line and failures: "the CDDB server gnudb.gnudb.org",
    // of a web address its host only.
    static QString source(const QString& serverHost);

private:
    void converse(const QString& serverHost);
    // The way to the server the text names, set up with the greeting, time-out and cancellation.
    std::unique_ptr<CDDBTransport> transportFor(const QString& serverHost) const;

    LookupHost& m_host;
    DiscTOC m_toc;
    quint32 m_cddbDiscid;
    std::optional<Album> m_albumInfo;
    quint16 m_port = defaultPort;
    int m_timeout = 0;
    int m_conversationSeconds = conversationSeconds;
    QString m_email;
    std::shared_ptr<Cancellation> m_cancellation;
    // How long the user took to choose among the matches: not counted against the server.
    std::chrono::steady_clock::duration m_choosingTime{};
};
