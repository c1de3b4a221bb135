// The read command built from arbitrary query replies and match lines: it is always exactly one
// line, whatever the server sent.
#include "common/veskexception.h"
#include "lookup/cddb/freedbaccess.h"
#include "nolookuphost.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const qint32 codes[] = {200, 210, 211, 0, 202, -1};
    const qint32 code = codes[data[0] % 6];
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    NoHost host;
    FreedbAccess lookup(host, DiscTOC::fromOffsets({150, 18000, 36000}, 54000));
    try {
        const QString command = lookup.buildCDDBReadEntryString(code, text);
        if (!command.startsWith(QLatin1String("cddb read ")) ||
            command.indexOf(QLatin1Char('\n')) != command.size() - 1 || command.contains(QLatin1Char('\r')))
            __builtin_trap();
    } catch (const VeskException&) {
    }
    return 0;
}
