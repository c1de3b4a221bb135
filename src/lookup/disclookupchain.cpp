#include "lookup/disclookupchain.h"

DiscLookupChain::DiscLookupChain(std::vector<std::unique_ptr<DiscLookup>> lookups)
    : m_lookups(std::move(lookups))
{
}

DiscLookupFactory DiscLookupChain::factory(QList<DiscLookupFactory> factories)
{
    return [factories](LookupHost& host) -> std::unique_ptr<DiscLookup> {
        std::vector<std::unique_ptr<DiscLookup>> lookups;
        for (const DiscLookupFactory& make : factories) {
            if (!make)
                continue;
            if (std::unique_ptr<DiscLookup> lookup = make(host))
                lookups.push_back(std::move(lookup));
        }
        if (lookups.empty())
            return nullptr;
        if (lookups.size() == 1)
            return std::move(lookups.front());
        return std::make_unique<DiscLookupChain>(std::move(lookups));
    };
}

void DiscLookupChain::lookupCDInformation(const QString& serverHost)
{
    for (const auto& lookup : m_lookups) {
        if (m_cancelled.load())
            return;
        lookup->lookupCDInformation(serverHost);
        if (auto album = lookup->getAlbumInfo()) {
            m_albumInfo = std::move(album);
            return;
        }
    }
}

void DiscLookupChain::cancel()
{
    m_cancelled.store(true);
    for (const auto& lookup : m_lookups)
        lookup->cancel();
}
