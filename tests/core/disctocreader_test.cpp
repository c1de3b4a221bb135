// Where a folder's table of contents comes from: the audio file headers, a gvfs CD mount whose
// drive cannot be read, a ".TOC.plist", a folder copied from a CD with broken tracks.
#include "disc/audiofileheader.h"
#include "disc/disctocreader.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

namespace {
QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 frames(const QByteArray& bytes)
{
    const auto format = AudioFileHeader::parse(bytes, bytes.size());
    return format ? format->sampleFrames * (format->isCDAudio() ? 1 : -1) : 0;
}
} // namespace

TEST(AudioFileHeader, WalksTheChunksOfWavAndAiffAndRejectsWhatIsNotCompleteSound)
{
    TestEnvironment env;
    const QString path = env.home() + u"/t"_qs;
    ASSERT_TRUE(writeCDTrack(path + u".wav"_qs, 1764) && writeCDTrack(path, 1764, true));
    const QByteArray wav = bytesOf(path + u".wav"_qs);
    const QByteArray aiff = bytesOf(path);
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
