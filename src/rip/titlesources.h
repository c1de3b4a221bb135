#pragma once

#include "lookup/disclookup.h"

class Settings;

// The sources of a disc's titles, as both front ends ask them: the CDDB server the settings
// name, then MusicBrainz when that server gave no album and the user wants it asked. The
// settings are read each time a lookup is made.
class TitleSources {
public:
    TitleSources() = delete;
    static DiscLookupFactory forSettings(const Settings& settings);
};
