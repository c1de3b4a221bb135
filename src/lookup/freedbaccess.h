#pragma once

#include "lookup/disclookup.h"
#include "lookup/disctoc.h"
#include "model/album.h"

#include <QString>
#include <memory>
#include <optional>

class LookupHost;

// The disc lookup made for each rip: reads the source folder's ".TOC.plist", computes the CDDB
// disc identifier and holds one conversation with a freedb server (CDDB protocol level 5 over
// TCP) to find the disc's album. Every failure ends the conversation, is logged and, unless the
// server does not know the disc or the user declined its matches, shown to the user as an alert.
class FreedbAccess : public DiscLookup {
public:
    static constexpr quint16 defaultPort = 8880;

    FreedbAccess(LookupHost& host, const DiscTOC& toc);

    // The lookup for the host's source folder, or nothing when its table of contents cannot be read.
    static std::unique_ptr<FreedbAccess> create(LookupHost& host);
    // A factory for the rip session; port and time-out (milliseconds, 0 for the socket's default)
    // are there for tests and tools.
    static DiscLookupFactory factory(quint16 port = defaultPort, int timeout = 0);

    void lookupCDInformation(const QString& serverHost) override;
    std::optional<Album> getAlbumInfo() const override { return m_albumInfo; }

    // The "cddb read" line (ending in LF) for a reply: code 200 with the query reply, 210 or 211
    // with a text whose second line is the chosen match line, anything else the object's own
    // identifier under "rock". A chosen match brings its own identifier, and the object's is then
    // cleared. Throws VeskException when the text lacks the category or identifier.
    QString buildCDDBReadEntryString(qint32 code, const QString& text);
    static std::optional<QString> getToken(const QString& key, const QString& info);
    static Album parseAlbumInfo(const QString& info);
    // Asks the host to choose among the matches of a 210 or 211 query reply. The chosen match
    // line, or nothing when the user declined them all.
    std::optional<QString> displayAlbumSelectionDialog(const QString& reply);

    // The query line ("cddb query ..." ending in LF) for this disc.
    QString queryString() const;
    quint32 cddbDiscId() const { return m_cddbDiscid; }
    const DiscTOC& toc() const { return m_toc; }

    void setPort(quint16 port) { m_port = port; }
    // Longest wait for the connect and for each receive and send, in milliseconds.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

private:
    void converse(const QString& serverHost);

    LookupHost& m_host;
    DiscTOC m_toc;
    quint32 m_cddbDiscid;
    std::optional<Album> m_albumInfo;
    quint16 m_port = defaultPort;
    int m_timeout = 0;
};
