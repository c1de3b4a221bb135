#include "rip/titlesources.h"

#include "lookup/cddb/freedbaccess.h"
#include "lookup/disclookupchain.h"
#include "lookup/musicbrainz/musicbrainzlookup.h"
#include "settings/settings.h"

DiscLookupFactory TitleSources::forSettings(const Settings& settings)
{
    return DiscLookupChain::factory({
        FreedbAccess::factory([&settings] { return settings.getFreedbEmail(); }),
        MusicBrainzLookup::factory([&settings] {
            return settings.shouldUseMusicBrainz() ? settings.getMusicBrainzURL() : QString();
        }),
    });
}
