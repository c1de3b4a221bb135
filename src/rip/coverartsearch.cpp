#include "rip/coverartsearch.h"

#include "common/log.h"
#include "lookup/lookupfailure.h"
#include "lookup/lookuphost.h"
#include "lookup/musicbrainz/musicbrainzlookup.h"

#include <QThread>

namespace {
// The host of the one MusicBrainz request for CDDB titles: the first release is taken, and a
// failure is only logged (the rip has its titles already).
class QuietHost : public LookupHost {
public:
    explicit QuietHost(std::optional<DiscTOC> toc) : m_toc(std::move(toc)) {}
    QString getChosenCDName() const override { return QString(); }
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        veskLog(QStringLiteral("Looking for the cover: %1: %2").arg(title, text));
    }
    void lookupFailed(const LookupFailure& failure) override
    {
        veskLog(QStringLiteral("Looking for the cover: %1").arg(failure.logLine()));
    }
    int displayMultipleAlbumMatches(const QStringList&) override { return 0; }
    std::optional<DiscTOC> discTOC() override { return m_toc; }

private:
    std::optional<DiscTOC> m_toc;
};
} // namespace

bool CoverArtSearch::worthSearching(const Request& request, QString& why)
{
    switch (request.origin.source) {
    case AlbumOrigin::Source::MusicBrainz:
        if (request.origin.releaseId.isEmpty())
            why = QStringLiteral("the release has no id");
        else if (!request.origin.hasFrontCover)
            why = QStringLiteral("the Cover Art Archive holds no front cover of the release");
        return why.isEmpty();
    case AlbumOrigin::Source::Cddb:
        if (request.musicBrainzRoot.isEmpty())
            why = QStringLiteral("the titles come from CDDB and MusicBrainz is not to be asked");
        else if (!request.toc)
            why = QStringLiteral("the disc has no table of contents to ask MusicBrainz about");
        return why.isEmpty();
    case AlbumOrigin::Source::None:
        break;
    }
    why = QStringLiteral("no release is known for the titles");
    return false;
}

CoverArtSearch::CoverArtSearch(QObject* parent) : QObject(parent) {}

CoverArtSearch::~CoverArtSearch()
{
    cancel();
}

void CoverArtSearch::start(const Request& request)
{
    cancel();
    m_fetch = std::make_shared<CoverArtFetch>(request.coverArtRoot);
    if (request.origin.source == AlbumOrigin::Source::Cddb && request.toc) {
        m_host = std::make_shared<QuietHost>(request.toc);
        m_lookup = std::make_shared<MusicBrainzLookup>(*m_host, *request.toc, request.musicBrainzRoot);
    }
    m_running = true;
    std::shared_ptr<CoverArtFetch> fetch = m_fetch;
    std::shared_ptr<MusicBrainzLookup> lookup = m_lookup;
    // The destructor waits for the worker, so the search outlives what the worker posts to it.
    m_worker = QThread::create([this, request, fetch, lookup] {
        CoverArtFetch::FrontCover cover;
        QString releaseId = request.origin.releaseId;
        bool front = request.origin.hasFrontCover;
        if (lookup) {
            lookup->lookupCDInformation(QString());
            const std::optional<Album> album = lookup->getAlbumInfo();
            releaseId = album ? album->getOrigin().releaseId : QString();
            front = album && album->getOrigin().hasFrontCover;
        }
        if (releaseId.isEmpty())
            cover.problem = QStringLiteral("MusicBrainz knows no release of the disc");
        else if (!front)
            cover.problem = QStringLiteral("the Cover Art Archive holds no front cover of release %1").arg(releaseId);
        else
            cover = fetch->fetchFront(releaseId);
        QMetaObject::invokeMethod(
            this,
            [this, cover] {
                if (m_running) {
                    m_running = false;
                    Q_EMIT finished(cover);
                }
            },
            Qt::QueuedConnection);
    });
    m_worker->start();
}

void CoverArtSearch::cancel()
{
    m_running = false;
    if (m_fetch)
        m_fetch->cancel();
    if (m_lookup)
        m_lookup->cancel();
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
    }
    m_fetch.reset();
    m_lookup.reset();
    m_host.reset();
}
