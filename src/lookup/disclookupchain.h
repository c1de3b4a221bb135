#pragma once

#include "lookup/disclookup.h"

#include <QList>
#include <atomic>
#include <vector>

// Several sources behind one lookup, tried in order until one yields an album.
class DiscLookupChain : public DiscLookup {
public:
    explicit DiscLookupChain(std::vector<std::unique_ptr<DiscLookup>> lookups);

    // Makes a chain of the lookups the factories make, in the factories' order; nothing when
    // none of them makes one.
    static DiscLookupFactory factory(QList<DiscLookupFactory> factories);

    void lookupCDInformation(const QString& serverHost) override;
    std::optional<Album> getAlbumInfo() const override { return m_albumInfo; }
    void cancel() override;

private:
    std::vector<std::unique_ptr<DiscLookup>> m_lookups;
    std::optional<Album> m_albumInfo;
    std::atomic<bool> m_cancelled{false};
};
