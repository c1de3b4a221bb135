#pragma once

#include "disc/disctoc.h"
#include "lookup/cancellableloop.h"
#include "lookup/disclookup.h"
#include "lookup/musicbrainz/musicbrainzdiscid.h"
#include "model/album.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class LookupHost;
class QNetworkAccessManager;

// The disc lookup at MusicBrainz's web service: one GET of the disc identifier (with the table
// of contents, so that a disc the service knows under a close identifier is found too), the
// releases of the JSON reply turned into albums, the host's match chooser when there are several.
// The call blocks in a local event loop on the calling thread, which may be a worker thread; the
// service's pace of one request a second is kept by a timer in that loop, which a cancel ends at
// once. Not found, a declined choice and a cancel are logged; every other failure is logged and
// handed to the host's lookupFailed, and leaves no album.
class MusicBrainzLookup : public DiscLookup {
public:
    static constexpr int defaultTimeout = 30000;
    // The service allows one request per second from a client.
    static constexpr int requestInterval = 1000;

    MusicBrainzLookup(LookupHost& host, const DiscTOC& toc, QString root);

    // A factory for the rip session. root is asked each time: the service's address
    // ("https://musicbrainz.org"), or an empty text when MusicBrainz is not to be asked.
    static DiscLookupFactory factory(std::function<QString()> root, int timeout = defaultTimeout);

    // serverHost names the CDDB server and is not used here.
    void lookupCDInformation(const QString& serverHost) override;
    std::optional<Album> getAlbumInfo() const override { return m_albumInfo; }
    // May be called from any thread: a running lookup ends soon, without an alert or an album,
    // and a later one does not start.
    void cancel() override;

    // "Vesk/<version> ( <contact> )", as the service requires of every client.
    static QString userAgent();
    // The request for this disc; empty when the table of contents gives no identifier.
    QUrl requestUrl() const;
    // Longest wait for one request's whole answer, in milliseconds.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

private:
    // An answer of the service: its body when the status is 200, else only the status (404 or
    // 503, which the conversation handles).
    struct Response {
        int status = 0;
        QByteArray body;
        // "503 Service Unavailable", for the failure's "The server said".
        QString statusLine;
    };
    void converse();
    // Asks for the disc once its turn among the process's requests has come, and no sooner than
    // notBefore milliseconds from now. Throws LookupError for every other answer and when the
    // request fails, times out or is cancelled.
    Response fetch(QNetworkAccessManager& manager, int notBefore);

    LookupHost& m_host;
    std::optional<MusicBrainzDiscId> m_disc;
    QString m_root;
    int m_timeout = defaultTimeout;
    std::optional<Album> m_albumInfo;

    CancellableLoop m_loop; // cancel() reaches it from other threads
};
