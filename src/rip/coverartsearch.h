#pragma once

#include "disc/disctoc.h"
#include "lookup/coverart/coverartfetch.h"
#include "model/albumorigin.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QThread;
class LookupHost;
class MusicBrainzLookup;

// The front cover of a rip's album, found on a worker while the rip goes on: from the Cover Art
// Archive for the album's MusicBrainz release, or, for titles from CDDB, for the release
// MusicBrainz gives for the disc's table of contents (one request; no other is made then).
class CoverArtSearch : public QObject {
    Q_OBJECT
public:
    struct Request {
        AlbumOrigin origin;
        std::optional<DiscTOC> toc;
        QString musicBrainzRoot; // empty: MusicBrainz is not to be asked
        QString coverArtRoot;
    };

    // Whether there is anything to look for: a release that may have a front cover, or CDDB
    // titles and MusicBrainz to ask. Why not, in words for the log, otherwise.
    static bool worthSearching(const Request& request, QString& why);

    explicit CoverArtSearch(QObject* parent = nullptr);
    // Ends a running search and waits for its worker.
    ~CoverArtSearch() override;

    void start(const Request& request);
    // No finished() follows.
    void cancel();
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    // On the thread that made the search: the cover, or why there is none (cover.problem).
    void finished(const CoverArtFetch::FrontCover& cover);

private:
    CoverArtFetch::FrontCover search(const Request& request);

    QThread* m_worker = nullptr;
    std::shared_ptr<CoverArtFetch> m_fetch;
    std::shared_ptr<LookupHost> m_host;
    std::shared_ptr<MusicBrainzLookup> m_lookup;
    bool m_running = false;
};
