// Cutting a query reply into match lines and letting a chooser pick any row, plus the reply
// framing: the same bytes read as replies from a connection that ends behind them.
#include "common/veskexception.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/cddbreplyreader.h"
#include "lookup/cddb/freedbaccess.h"
#include "lookup/cddb/socket.h"
#include "lookup/lookuphost.h"

#include <cstddef>
#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

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

// Every reply the reader finds in bytes is a piece of them, in order, and a status line first.
void readReplies(const QByteArray& bytes)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) < 0)
        return;
    // A larger input would not fit into the connection's buffer at once.
    const bool written = ::write(ends[1], bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(ends[1]);
    Socket socket(ends[0], sockaddr_storage{});
    if (!written)
        return;
    socket.setTimeout(1000);
    CDDBReplyReader reader(socket);
    qsizetype at = 0;
    try {
        for (;;) {
            const QByteArray reply = reader.readReply();
            if (reply.isEmpty() || bytes.mid(at, reply.size()) != reply || !reply.contains('\n'))
                __builtin_trap();
            at += reply.size();
        }
    } catch (const VeskException&) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 64 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const QString reply = QString::fromLatin1(bytes);
    ChoosingHost host;
    host.choice = static_cast<int>(static_cast<int8_t>(data[0]));
    FreedbAccess lookup(host, DiscTOC::fromOffsets({150}, 7500));
    readReplies(bytes);
    try {
        CDDBReply::replyCode(reply);
    } catch (const VeskException&) {
    }
    try {
        lookup.displayAlbumSelectionDialog(reply);
    } catch (const VeskException&) {
    }
    return 0;
}
