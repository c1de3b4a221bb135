#pragma once

#include "model/album.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class LookupHost;

// One disc lookup, made for each rip: asks a CDDB server for the disc's album.
class DiscLookup {
public:
    virtual ~DiscLookup() = default;
    // Holds one whole conversation with the server; reports its own failures to the host.
    virtual void lookupCDInformation(const QString& serverHost) = 0;
    // The album found by the last successful conversation, if any.
    virtual std::optional<Album> getAlbumInfo() const = 0;
};

// Makes the lookup for the host's current source folder, or nothing when the disc's table of
// contents cannot be read.
using DiscLookupFactory = std::function<std::unique_ptr<DiscLookup>(LookupHost& host)>;
