#include "lookup/disctoc.h"
#include "lookup/freedbaccess.h"
#include "lookup/lookuphost.h"
#include "support/qstringprinter.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <plist/plist.h>
#include <vector>

namespace {
struct Session {
    std::vector<qint64> starts;
    std::optional<quint64> leadout; // absent: no "Leadout Block" key
};

// A ".TOC.plist" as the desktop writes it, built through libplist, XML or binary.
QByteArray tocPlist(const std::vector<Session>& sessions, bool binary, bool withSessions = true)
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "Format", plist_new_string("ignored"));
    plist_t array = plist_new_array();
    for (const Session& s : sessions) {
        plist_t session = plist_new_dict();
        if (s.leadout)
            plist_dict_set_item(session, "Leadout Block", plist_new_uint(*s.leadout));
        plist_t tracks = plist_new_array();
        for (const qint64 start : s.starts) {
            plist_t track = plist_new_dict();
            plist_dict_set_item(track, "Start Block", plist_new_uint(static_cast<uint64_t>(start)));
            plist_dict_set_item(track, "Data", plist_new_bool(0));
            plist_array_append_item(tracks, track);
        }
        plist_dict_set_item(session, "Track Array", tracks);
        plist_array_append_item(array, session);
    }
    if (withSessions)
        plist_dict_set_item(root, "Sessions", array);
    else
        plist_free(array);
    char* bytes = nullptr;
    uint32_t length = 0;
    (binary ? plist_to_bin : plist_to_xml)(root, &bytes, &length);
    const QByteArray data(bytes, length);
    std::free(bytes);
    plist_free(root);
    return data;
}

class NoHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString&, const QString&) override {}
    int displayMultipleAlbumMatches(const QStringList&) override { return 0; }
};

QString queryOf(const std::optional<DiscTOC>& toc)
{
    NoHost host;
    return toc ? FreedbAccess(host, *toc).queryString() : QStringLiteral("(unreadable)");
}
} // namespace

TEST(DiscTOC, WorkedExampleSessionsMissingKeysAndUnreadableTables)
{
    for (const bool binary : {false, true}) {
        QTemporaryDir cd;
        QFile file(cd.filePath(QStringLiteral(".TOC.plist")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(tocPlist({{{150, 18000, 36000}, 54000}}, binary));
        file.close();
        EXPECT_EQ(queryOf(DiscTOC::readFromFile(file.fileName())),
                  QStringLiteral("cddb query 1402ce03 3 150 18000 36000 720\n"));
    }
    // An enhanced CD: the data track sits in the second session, whose lead-out counts.
    const auto toc = DiscTOC::readFromData(tocPlist({{{150, 18000}, 40000}, {{52000}, 60000}}, true));
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->numSessions(), 2);
    EXPECT_EQ(toc->leadoutBlock(), 60000u);
    EXPECT_EQ(queryOf(toc), QStringLiteral("cddb query 1a031e03 3 150 18000 52000 800\n"));
    EXPECT_EQ(queryOf(DiscTOC::readFromData(tocPlist({}, false, false))),
              QStringLiteral("cddb query fffffe00 0 0\n"));
    EXPECT_EQ(queryOf(DiscTOC::readFromData(tocPlist({{{150}, std::nullopt}}, false))),
              QStringLiteral("cddb query fffffe01 1 150 0\n"));

    EXPECT_FALSE(DiscTOC::readFromFile(QStringLiteral("/nonexistent/.TOC.plist")));
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("not a property list"),
          QByteArray("<?xml version=\"1.0\"?><plist><array/></plist>"), QByteArray("bplist00garbage"),
          // A track without an integer start would give a wrong identifier.
          QByteArray(
              "<plist><dict><key>Sessions</key><array><dict><key>Track Array</key><array><dict><key>Start "
              "Block</key><string>150</string></dict></array></dict></array></dict></plist>")})
        EXPECT_FALSE(DiscTOC::readFromData(bad)) << bad.constData();
}

TEST(DiscTOC, IdentifierArithmetic)
{
    // 149 frames are 1 second (truncated); 0 frames add nothing.
    EXPECT_EQ(DiscTOC::fromOffsets({149, 0}, 75 * 100).cddbDiscId(), 0x01006202u);
    // Digit sums totalling 255 wrap to 0 in the top byte, 256 to 1: 9999 s has digit sum 36.
    QList<qint64> offsets(7, 9999 * 75);
    for (const auto& [last, top] : {std::pair{3, 0u}, {4, 1u}}) {
        offsets.append(last * 75);
        EXPECT_EQ(DiscTOC::fromOffsets(offsets, 75 * 20000).cddbDiscId() >> 24, top);
        offsets.removeLast();
    }
    // More than 255 tracks spill into the length field (2 << 8), as the server computes it:
    // masked to its byte the count would leave 0x200.
    EXPECT_EQ(DiscTOC::fromOffsets(QList<qint64>(256, 0), 75 * 4).cddbDiscId(), 0x300u);
}
