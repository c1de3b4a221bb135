#pragma once

#include "model/album.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class LookupHost;

// One disc lookup, made for each rip: asks one source (a CDDB server, MusicBrainz) for the
// disc's album. The rip session runs lookupCDInformation on a worker thread of its own (a
// QThread, so a lookup may run an event loop there); the host's requests are carried to the
// main thread for it.
class DiscLookup {
public:
    virtual ~DiscLookup() = default;
    // Holds one whole conversation with the source; reports its own failures to the host.
    // serverHost is the CDDB server the user named; other sources may ignore it.
    virtual void lookupCDInformation(const QString& serverHost) = 0;
    // The album found by the last successful conversation, if any.
    virtual std::optional<Album> getAlbumInfo() const = 0;
    // Ends a running lookupCDInformation as soon as it can, with no album and no alert. Safe
    // from any thread, also before or after the lookup runs.
    virtual void cancel() {}
};

// Makes the lookup for the host's current source folder, or nothing when the source is not to be
// asked. Called on the main thread: settings may be read here, and the lookup keeps what it needs
// of them. Reading the disc itself (LookupHost::discTOC) belongs in the lookup, on its worker.
using DiscLookupFactory = std::function<std::unique_ptr<DiscLookup>(LookupHost& host)>;
