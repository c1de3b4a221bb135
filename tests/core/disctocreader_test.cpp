// Where a folder's table of contents comes from: the audio file headers, a gvfs CD mount whose
// drive cannot be read, a ".TOC.plist", a folder copied from a CD with broken tracks.
#include "disc/audiofileheader.h"
#include "disc/audiotracklist.h"
#include "disc/disctocreader.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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
    const QString path = env.home() + QStringLiteral("/t");
    ASSERT_TRUE(writeCDTrack(path + QStringLiteral(".wav"), 1764) && writeCDTrack(path, 1764, true));
    const QByteArray wav = bytesOf(path + QStringLiteral(".wav"));
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
    ASSERT_TRUE(writeBytes(
        path, QByteArray(wav).insert(12, QByteArray("junk\x70\x17\0\0", 8) + QByteArray(6000, 'j'))));
    EXPECT_EQ(AudioFileHeader::readFile(path)->sampleFrames, 1764);
}

TEST(DiscTOCReader, DriveThatCannotBeReadFallsBackToLengthsAndBrokenTracksGiveNoIdentifier)
{
    TestEnvironment env;
    const QString mount = env.home() + QStringLiteral("/gvfs/cdda:host=sr1");
    const QString dev = env.home() + QStringLiteral("/dev");
    ASSERT_TRUE(QDir().mkpath(mount) && QDir().mkpath(dev));
    const QList<qint64> sectors{60, 75, 90, 45};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(writeCDTrack(mount + QStringLiteral("/Track %1.wav").arg(i + 1), sectors[i] * 588));
    // No device node, then one that is no drive: one log line each, and the lengths.
    for (const bool node : {false, true}) {
        ASSERT_TRUE(!node || writeBytes(dev + QStringLiteral("/sr1"), ""));
        LogCapture log;
        // A typed source may end in a slash.
        const auto toc = DiscTOCReader::readDiscTOC(node ? mount + u'/' : mount, dev);
        ASSERT_TRUE(toc);
        EXPECT_EQ(toc->trackOffsets(), QList<qint64>({150, 210, 285, 375}));
        EXPECT_EQ(toc->leadoutBlock(), 420u);
        EXPECT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(
            log.contains(QStringLiteral("Could not read the table of contents from ") + dev + "/sr1"));
    }
    // Every track counts: a non-audio file named like one gives no identifier.
    ASSERT_TRUE(writeBytes(mount + QStringLiteral("/Track 10.wav"), "not sound"));
    LogCapture log;
    EXPECT_FALSE(DiscTOCReader::readDiscTOC(mount, dev));
    EXPECT_TRUE(log.contains(QStringLiteral("Track 10.wav is not a complete AIFF or WAV file")));
}

TEST(AudioTrackList, TheMacsAndGvfssNamesCarryTheTrackNumber)
{
    for (const auto& [name, number] : {std::pair{"3 Audio Track.aiff", 3},
                                       {"Track 12.wav", 12},
                                       {"track 7.WAV", 7},
                                       {"Track 1.aiff", 0},
                                       {"My Track 2.wav", 0}})
        EXPECT_EQ(AudioTrackList::trackNumber(QString::fromLatin1(name)), number) << name;
}
