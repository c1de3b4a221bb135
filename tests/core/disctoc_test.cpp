// The disc's table of contents and identifier: from a ".TOC.plist", from the tracks' audio headers
// and lengths (a gvfs CD mount whose drive cannot be read, a copy with broken tracks), and for the
// real entries against their own DISCID and libdiscid's computation.
#include "disc/audiofileheader.h"
#include "disc/disctoc.h"
#include "disc/disctocreader.h"
#include "disc/tracklengthtoc.h"
#include "support/testenvironment.h"

#include <QRegularExpression>
#include <discid/discid.h>
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

qint64 frames(const QByteArray& bytes)
{
    const auto format = AudioFileHeader::parse(bytes, bytes.size());
    return format ? format->sampleFrames * (format->isCDAudio() ? 1 : -1) : 0;
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

TEST(AudioFileHeader, WalksTheChunksOfWavAndAiffAndRejectsWhatIsNotCompleteSound)
{
    TestEnvironment env;
    const QString path = env.home() + u"/t"_qs;
    ASSERT_TRUE(writeCDTrack(path + u".wav"_qs, 1764) && writeCDTrack(path, 1764, true));
    const QByteArray wav = readTestFile(path + u".wav"_qs);
    const QByteArray aiff = readTestFile(path);
    QByteArray mono = wav;
    mono[22] = 1; // the channel count of "fmt "
    QByteArray compressed = wav;
    compressed[20] = 0x55; // MPEG layer 3 inside a WAV
    // An odd-sized chunk before the data is followed by a pad byte.
    const QByteArray padded = QByteArray(wav).insert(12, QByteArray("junk\x03\0\0\0abc\0", 12));
    const std::pair<QByteArray, qint64> cases[] = {
        {wav, 1764},
        {aiff, 1764},
        {padded, 1764},
        {mono, -3528},
        {wav.chopped(1), 0},
        {aiff.chopped(1), 0},
        {compressed, 0},
        {wav.left(44), 0},
        {QByteArray("\xff\xd8\xff\xe0 JFIF") + QByteArray(5000, 'x'), 0}};
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(frames(bytes), expected) << bytes.left(16).toHex().constData();
    // Long tags before the data are read past too.
    ASSERT_TRUE(writeTestFile(
        path, QByteArray(wav).insert(12, QByteArray("junk\x70\x17\0\0", 8) + QByteArray(6000, 'j'))));
    EXPECT_EQ(AudioFileHeader::readFile(path)->sampleFrames, 1764);
}

TEST(DiscTOCReader, DriveThatCannotBeReadFallsBackToLengthsAndBrokenTracksGiveNoIdentifier)
{
    TestEnvironment env;
    const QString mount = env.home() + u"/gvfs/cdda:host=sr1"_qs;
    const QString dev = env.home() + u"/dev"_qs;
    ASSERT_TRUE(QDir().mkpath(mount));
    const QList<qint64> sectors{60, 75, 90, 45};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(writeCDTrack(mount + u"/Track %1.wav"_qs.arg(i + 1), sectors[i] * 588));
    // A device node that is no drive (vesk-rip's test has none at all): one log line, and the
    // lengths. A typed source may end in a slash.
    ASSERT_TRUE(writeTestFile(dev + u"/sr1"_qs, ""));
    {
        LogCapture log;
        const auto toc = DiscTOCReader::readDiscTOC(mount + u'/', dev);
        ASSERT_TRUE(toc);
        EXPECT_EQ(toc->trackOffsets(), QList<qint64>({150, 210, 285, 375}));
        EXPECT_EQ(toc->leadoutBlock(), 420u);
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.contains(u"Could not read the table of contents from "_qs + dev));
    }
    // Every track counts: a non-audio file named like one gives no identifier.
    ASSERT_TRUE(writeTestFile(mount + u"/Track 10.wav"_qs, "not sound"));
    LogCapture log;
    EXPECT_FALSE(DiscTOCReader::readDiscTOC(mount, dev));
    EXPECT_TRUE(log.contains(u"Track 10.wav is not a complete AIFF or WAV file"_qs));
}

TEST(DiscId, RealEntriesFromOffsetsLibdiscidAndTrackLengths)
{
    const QDir entries(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries"));
    static const QRegularExpression offsetLine(QStringLiteral(R"(^#\s+(\d+)\s*$)"),
                                               QRegularExpression::MultilineOption);
    static const QRegularExpression length(QStringLiteral(R"(Disc length:\s*(\d+))"));
    int plain = 0;
    for (const QString& name : entries.entryList({QStringLiteral("*-*")}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        QFile file(entries.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString entry = QString::fromLatin1(file.readAll());
        QList<qint64> offsets;
        std::vector<int> table{int(length.match(entry).captured(1).toInt() * 75)};
        for (auto it = offsetLine.globalMatch(entry.section(QStringLiteral("Disc length"), 0, 0));
             it.hasNext();)
            table.push_back(int(offsets.emplace_back(it.next().captured(1).toLongLong())));
        const QString expected = name.section(u'-', 1);
        EXPECT_EQ(discIdText(DiscTOC::fromOffsets(offsets, quint32(table[0])).cddbDiscId()), expected);
        DiscId* disc = discid_new();
        ASSERT_TRUE(discid_put(disc, 1, int(offsets.size()), table.data()));
        EXPECT_EQ(QString::fromLatin1(discid_get_freedb_id(disc)), expected);
        discid_free(disc);

        QList<qint64> sampleFrames;
        for (qsizetype i = 0; i < offsets.size(); ++i)
            sampleFrames << ((i + 1 < offsets.size() ? offsets[i + 1] : table[0]) - offsets[i]) * 588;
        const auto fromLengths = TrackLengthTOC::fromSampleFrames(sampleFrames);
        ASSERT_TRUE(fromLengths);
        // A first track that starts late shifts every offset: only the drive's table is exact then.
        EXPECT_EQ(discIdText(fromLengths->cddbDiscId()) == expected, offsets.first() == 150);
        plain += offsets.first() == 150;
    }
    EXPECT_EQ(plain, 9);
}
