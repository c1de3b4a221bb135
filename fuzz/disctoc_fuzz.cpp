// Reading arbitrary ".TOC.plist" bytes (XML or binary) and building the query from them.
#include "disc/disctoc.h"
#include "lookup/cddb/freedbaccess.h"
#include "nolookuphost.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto toc =
        DiscTOC::readFromData(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!toc)
        return 0;
    if (toc->trackOffsets().size() != toc->numTracks())
        __builtin_trap();
    NoHost host;
    const QString query = FreedbAccess(host, *toc).queryString();
    if (query.indexOf(QLatin1Char('\n')) != query.size() - 1)
        __builtin_trap();
    return 0;
}
