#include "disc/disctoc.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <optional>

namespace {
// A ".TOC.plist" as the desktop writes it: each session is "leadout:start,start,..."; an empty
// lead-out leaves its key out.
QByteArray tocPlist(const QStringList& sessions)
{
    QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Format</key><string>x</string>"
                     "<key>Sessions</key><array>";
    for (const QString& session : sessions) {
        xml += "<dict>";
        if (!session.section(u':', 0, 0).isEmpty())
            xml +=
                "<key>Leadout Block</key><integer>" + session.section(u':', 0, 0).toLatin1() + "</integer>";
        xml += "<key>Track Array</key><array>";
        for (const QString& start : session.section(u':', 1).split(u',', Qt::SkipEmptyParts))
            xml += "<dict><key>Data</key><false/><key>Start Block</key><integer>" + start.toLatin1() +
                   "</integer></dict>";
        xml += "</array></dict>";
    }
    return xml + "</array></dict></plist>";
}

// Tracks, offsets, length and identifier in one line, or "unreadable".
QString summary(const std::optional<DiscTOC>& toc)
{
    if (!toc)
        return QStringLiteral("unreadable");
    QStringList offsets;
    for (const qint64 offset : toc->trackOffsets())
        offsets << QString::number(offset);
    return QStringLiteral("%1 [%2] %3 %4 %5")
        .arg(toc->numTracks())
        .arg(offsets.join(u' '))
        .arg(toc->totalTime())
        .arg(toc->leadoutBlock())
        .arg(toc->cddbDiscId(), 8, 16, QLatin1Char('0'));
}
} // namespace

TEST(DiscTOC, WorkedExampleSessionsMissingKeysAndUnreadableTables)
{
    const std::pair<QByteArray, const char*> cases[] = {
        {tocPlist({QStringLiteral("54000:150,18000,36000")}), "3 [150 18000 36000] 720 54000 1402ce03"},
        // An enhanced CD: the data track sits in the second session, whose lead-out counts.
        {tocPlist({QStringLiteral("40000:150,18000"), QStringLiteral("60000:52000")}),
         "3 [150 18000 52000] 800 60000 1a031e03"},
        {tocPlist({}), "0 [] 0 0 fffffe00"},
        {tocPlist({QStringLiteral(":150")}), "1 [150] 0 0 fffffe01"},
        {"<?xml version=\"1.0\"?><plist><dict/></plist>", "0 [] 0 0 fffffe00"},
        {QByteArray(), "unreadable"},
        {"not a property list", "unreadable"},
        {"<?xml version=\"1.0\"?><plist><array/></plist>", "unreadable"},
        {"bplist00garbage", "unreadable"},
        // A track without an integer start would give a wrong identifier.
        {tocPlist({QStringLiteral("300:150")}).replace("<integer>150</integer>", "<string>150</string>"),
         "unreadable"},
    };
    for (const auto& [data, expected] : cases)
        EXPECT_EQ(summary(DiscTOC::readFromData(data)).toStdString(), expected) << data.constData();
    EXPECT_EQ(summary(DiscTOC::readFromFile(QStringLiteral("/nonexistent/.TOC.plist"))), "unreadable");
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
