// Cutting a query reply into match lines and letting a chooser pick any row, plus the reply
// framing the reader relies on.
#include "common/veskexception.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/freedbaccess.h"
#include "lookup/lookuphost.h"

#include <cstddef>
#include <cstdint>

namespace {
class ChoosingHost : public LookupHost {
public:
    int choice = 0;
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString&, const QString&) override {}
    int displayMultipleAlbumMatches(const QStringList& lines) override
    {
        for (const QString& line : lines) {
            if (line.contains(QLatin1Char('\n')) || line.isEmpty())
                __builtin_trap();
        }
        return choice;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const QString reply = QString::fromLatin1(bytes);
    ChoosingHost host;
    host.choice = static_cast<int>(static_cast<int8_t>(data[0]));
    FreedbAccess lookup(host, DiscTOC::fromOffsets({150}, 7500));
    try {
        const qsizetype length = CDDBReply::completeLength(bytes);
        if (length > bytes.size())
            __builtin_trap();
        CDDBReply::replyCode(reply);
    } catch (const VeskException&) {
    }
    try {
        lookup.displayAlbumSelectionDialog(reply);
    } catch (const VeskException&) {
    }
    return 0;
}
