#include "lookup/deferreddisclookup.h"

#include "lookup/lookuphost.h"

DeferredDiscLookup::DeferredDiscLookup(LookupHost& host, Maker maker)
    : m_host(host), m_maker(std::move(maker))
{
}

DeferredDiscLookup::~DeferredDiscLookup() = default;

void DeferredDiscLookup::lookupCDInformation(const QString& serverHost)
{
    // Without a table of contents there is nothing to ask; the reader has said why in the log.
    const std::optional<DiscTOC> toc = m_host.discTOC();
    if (!toc)
        return;
    std::unique_ptr<DiscLookup> lookup = m_maker(m_host, *toc);
    DiscLookup* running = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (m_cancelled || !lookup)
            return;
        m_lookup = std::move(lookup);
        running = m_lookup.get();
    }
    running->lookupCDInformation(serverHost);
}

std::optional<Album> DeferredDiscLookup::getAlbumInfo() const
{
    const std::lock_guard lock(m_mutex);
    return m_lookup ? m_lookup->getAlbumInfo() : std::nullopt;
}

void DeferredDiscLookup::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_lookup)
        m_lookup->cancel();
}
