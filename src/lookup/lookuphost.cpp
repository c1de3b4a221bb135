#include "lookup/lookuphost.h"

#include "disc/disctocreader.h"

std::optional<DiscTOC> LookupHost::discTOC()
{
    return DiscTOCReader::readDiscTOC(getChosenCDName());
}
