#pragma once

#include "lookup/disclookup.h"
#include "disc/disctoc.h"

#include <functional>
#include <mutex>

// A lookup made only once the disc's table of contents is known. Reading it may wait on a
// drive or on a gvfs mount that reads every header from the disc, so it happens when the lookup
// runs, on the worker, not when the rip session makes the lookup on the main thread.
class DeferredDiscLookup : public DiscLookup {
public:
    using Maker = std::function<std::unique_ptr<DiscLookup>(LookupHost& host, const DiscTOC& toc)>;

    DeferredDiscLookup(LookupHost& host, Maker maker);
    ~DeferredDiscLookup() override;

    void lookupCDInformation(const QString& serverHost) override;
    std::optional<Album> getAlbumInfo() const override;
    void cancel() override;

private:
    LookupHost& m_host;
    Maker m_maker;
    mutable std::mutex m_mutex; // guards m_lookup and m_cancelled against cancel()
    std::unique_ptr<DiscLookup> m_lookup;
    bool m_cancelled = false;
};
