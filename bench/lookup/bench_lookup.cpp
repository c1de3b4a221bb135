// Prints how long one whole CDDB lookup takes over loopback (connect, handshake, query, read,
// parse) for a small entry and for a 1 MB entry with 15,000 track titles. Reading and parsing
// take time in proportion to the entry's size, so the big one should stay well under 50 ms.
#include "cddbserver.h"
#include "lookup/cddb/freedbaccess.h"
#include "lookup/lookuphost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
class QuietHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        std::fprintf(stderr, "alert: %s: %s\n", qPrintable(title), qPrintable(text));
    }
    int displayMultipleAlbumMatches(const QStringList&) override { return 0; }
};

QByteArray entryWithTitles(int titles)
{
    QByteArray entry = "# xmcd\n#\nDTITLE=Bench Band / Bench Album\nDYEAR=2026\nDGENRE=Rock\n";
    for (int n = 0; n < titles; ++n)
        entry += "TTITLE" + QByteArray::number(n) +
                 "=A track title long enough to fill one line of the entry, " + QByteArray::number(n) + "\n";
    return entry + "EXTD=\nPLAYORDER=\n";
}

// Median milliseconds of rounds lookups of the disc whose entry is bytes.
double medianLookup(const QString& root, const DiscTOC& toc, const QByteArray& bytes, int rounds)
{
    QDir(root).mkpath(QStringLiteral("rock"));
    QFile file(QStringLiteral("%1/rock/%2").arg(root).arg(toc.cddbDiscId(), 8, 16, QLatin1Char('0')));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return -1;
    file.close();
    CddbServer server(root);
    if (!server.listen())
        return -1;
    QuietHost host;
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        FreedbAccess lookup(host, toc);
        lookup.setPort(server.port());
        QElapsedTimer timer;
        timer.start();
        lookup.lookupCDInformation(server.address());
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!lookup.getAlbumInfo())
            return -1;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir small;
    QTemporaryDir big;
    const DiscTOC toc = DiscTOC::fromOffsets({150, 18000, 36000}, 54000);
    const QByteArray smallEntry = entryWithTitles(50);
    const QByteArray bigEntry = entryWithTitles(15000);
    const int rounds = 15;
    const double smallMs = medianLookup(small.path(), toc, smallEntry, rounds);
    const double bigMs = medianLookup(big.path(), toc, bigEntry, rounds);
    if (smallMs < 0 || bigMs < 0) {
        std::fprintf(stderr, "bench_lookup: a lookup failed\n");
        return 1;
    }
    // The parse alone, on the reply as the client receives it.
    QString reply = QStringLiteral("210 rock 1402ce03 CD database entry follows\r\n") +
                    QString::fromLatin1(bigEntry).replace(QStringLiteral("\n"), QStringLiteral("\r\n")) +
                    QStringLiteral(".\r\n");
    QElapsedTimer parseTimer;
    parseTimer.start();
    const Album album = FreedbAccess::parseAlbumInfo(reply);
    const double parseMs = double(parseTimer.nsecsElapsed()) / 1e6;
    std::printf("lookup over loopback, median of %d:\n", rounds);
    std::printf("  %8.1f KB entry, %5d titles: %7.2f ms\n", smallEntry.size() / 1024.0, 50, smallMs);
    std::printf("  %8.1f KB entry, %5d titles: %7.2f ms  (target < 50 ms)\n", bigEntry.size() / 1024.0, 15000,
                bigMs);
    std::printf("  parsing the big entry alone: %.2f ms (%lld tracks kept)\n", parseMs,
                static_cast<long long>(album.getTracks().size()));
    return 0;
}
