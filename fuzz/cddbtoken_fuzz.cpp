// getToken over arbitrary entries: the first line of the input is the key, the rest the entry.
#include "common/veskexception.h"
#include "lookup/cddb/freedbaccess.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype lf = input.indexOf(QLatin1Char('\n'));
    const QString key = lf < 0 ? input : input.left(lf);
    const QString entry = lf < 0 ? QString() : input.mid(lf + 1);
    try {
        const auto value = FreedbAccess::getToken(key, entry);
        // A value never holds the line end it was cut at.
        if (value && value->contains(QLatin1Char('\n')))
            __builtin_trap();
    } catch (const VeskException&) {
    }
    return 0;
}
