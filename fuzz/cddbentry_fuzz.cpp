// parseAlbumInfo over arbitrary entry replies, decoded the way the server's bytes are.
#include "common/veskexception.h"
#include "lookup/cddb/freedbaccess.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString entry =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const Album album = FreedbAccess::parseAlbumInfo(entry);
        for (qsizetype i = 0; i < album.getTracks().size(); ++i) {
            if (album.getTracks().at(i).getTrackNum() != i + 1)
                __builtin_trap();
        }
    } catch (const VeskException&) {
    }
    return 0;
}
