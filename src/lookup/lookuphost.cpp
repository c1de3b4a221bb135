#include "lookup/lookuphost.h"

#include "disc/disctocreader.h"
#include "lookup/lookupfailure.h"

void LookupHost::lookupFailed(const LookupFailure& failure)
{
    runAlertWithTitle(failure.title(), failure.text());
}

std::optional<DiscTOC> LookupHost::discTOC()
{
    return DiscTOCReader::readDiscTOC(getChosenCDName());
}
