// Where a folder's table of contents comes from: the audio file headers, a fake gvfs CD mount
// under a temporary XDG_RUNTIME_DIR, a drive that cannot be read, a folder copied from a CD.
#include "disc/audiofileheader.h"
#include "disc/audiotracklist.h"
#include "disc/disctocreader.h"
#include "settings/settings.h"
#include "support/qstringprinter.h"
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

std::optional<AudioFormat> parsed(const QByteArray& bytes)
{
    return AudioFileHeader::parse(bytes, bytes.size());
}
} // namespace

TEST(AudioFileHeader, WalksTheChunksOfWavAndAiffAndRejectsWhatIsNotCompleteSound)
{
    TestEnvironment env;
    const QString wavPath = env.home() + QStringLiteral("/t.wav");
    const QString aiffPath = env.home() + QStringLiteral("/t.aiff");
    ASSERT_TRUE(writeCDTrack(wavPath, 588 * 3) && writeCDTrack(aiffPath, 588 * 3, true));
    const QByteArray wav = bytesOf(wavPath);
    const QByteArray aiff = bytesOf(aiffPath);
    for (const QByteArray& good : {wav, aiff,
                                   // An odd-sized chunk before the data is followed by a pad byte.
                                   QByteArray(wav).insert(12, QByteArray("junk\x03\0\0\0abc\0", 12))}) {
        const auto format = parsed(good);
        ASSERT_TRUE(format);
        EXPECT_TRUE(format->isCDAudio());
        EXPECT_EQ(format->sampleFrames, 588 * 3);
    }
    EXPECT_EQ(AudioFileHeader::readFile(aiffPath)->sampleFrames, 588 * 3);
    // Long tags before the data are read past too.
    ASSERT_TRUE(writeBytes(
        wavPath, QByteArray(wav).insert(12, QByteArray("junk\x70\x17\0\0", 8) + QByteArray(6000, 'j'))));
    EXPECT_EQ(AudioFileHeader::readFile(wavPath)->sampleFrames, 588 * 3);

    QByteArray mono = wav;
    mono[22] = 1; // the channel count of "fmt "
    EXPECT_EQ(parsed(mono)->sampleFrames, 588 * 6);
    EXPECT_FALSE(parsed(mono)->isCDAudio());
    QByteArray compressed = wav;
    compressed[20] = 0x55; // MPEG layer 3 inside a WAV
    for (const QByteArray& bad :
         {wav.chopped(1), aiff.chopped(1), compressed, wav.left(44), QByteArray("RIFF"),
          QByteArray("\xff\xd8\xff\xe0\0\x10JFIF", 10) + QByteArray(5000, 'x')})
        EXPECT_FALSE(parsed(bad));
    EXPECT_FALSE(AudioFileHeader::readFile(env.home() + QStringLiteral("/missing.wav")));
}

TEST(DiscTOCReader, GvfsMountIsFoundAndIdentifiedFromItsLengthsWhenTheDriveCannotBeRead)
{
    TestEnvironment env;
    const QString gvfs = env.home() + QStringLiteral("/gvfs/");
    const QString mount = gvfs + QStringLiteral("cdda:host=sr1");
    Settings settings;
    settings.setVolumeRoots({});
    EXPECT_EQ(settings.findAudioCD(), QString());
    // An empty mount (no disc in that drive) is passed over.
    ASSERT_TRUE(QDir().mkpath(gvfs + QStringLiteral("cdda:host=sr0")) && QDir().mkpath(mount));
    const QList<qint64> sectors{60, 75, 90, 45};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(writeCDTrack(mount + QStringLiteral("/Track %1.wav").arg(i + 1), sectors[i] * 588));
    EXPECT_EQ(Settings().findAudioCD(), mount);

    // No device node, and one that is no drive: each falls back to the lengths with a log line.
    const QString dev = env.home() + QStringLiteral("/dev");
    for (const bool node : {false, true}) {
        ASSERT_TRUE(!node || (QDir().mkpath(dev) && writeBytes(dev + QStringLiteral("/sr1"), "")));
        LogCapture log;
        const auto toc = DiscTOCReader::readDiscTOC(mount, dev);
        ASSERT_TRUE(toc);
        EXPECT_EQ(toc->trackOffsets(), QList<qint64>({150, 210, 285, 375}));
        EXPECT_EQ(toc->leadoutBlock(), 420u);
        EXPECT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(
            log.contains(QStringLiteral("Could not read the table of contents from ") + dev + "/sr1"));
    }
    // A ".TOC.plist" comes first.
    ASSERT_TRUE(writeBytes(mount + QStringLiteral("/.TOC.plist"),
                           "<plist><dict><key>Sessions</key><array><dict><key>Leadout Block</key><integer>300"
                           "</integer><key>Track Array</key><array><dict><key>Start Block</key><integer>150"
                           "</integer></dict></array></dict></array></dict></plist>"));
    EXPECT_EQ(DiscTOCReader::readDiscTOC(mount, dev)->trackOffsets(), QList<qint64>{150});
}

TEST(DiscTOCReader, CopiedFolderKeepsItsAudioTracksInOrderAndBrokenTracksGiveNoIdentifier)
{
    TestEnvironment env;
    const QString cd = env.home() + QStringLiteral("/Copied CD");
    ASSERT_TRUE(QDir().mkpath(cd + QStringLiteral("/scans")));
    for (const QString& other : {QStringLiteral("cover.jpg"), QStringLiteral(".directory"),
                                 QStringLiteral("notes.txt"), QStringLiteral(".hidden.aiff")})
        ASSERT_TRUE(writeBytes(cd + u'/' + other, "x"));
    for (int i : {10, 2, 1})
        ASSERT_TRUE(writeCDTrack(cd + QStringLiteral("/%1 Track.AIFF").arg(i), 588 * 75, true));
    LogCapture log;
    EXPECT_EQ(Settings::getTracksAtPath(cd),
              QStringList({QStringLiteral("1 Track.AIFF"), QStringLiteral("2 Track.AIFF"),
                           QStringLiteral("10 Track.AIFF")}));
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("Not audio tracks, left out of ") + cd +
                          QStringLiteral(": .directory, .hidden.aiff, cover.jpg, notes.txt, scans")});
    EXPECT_EQ(DiscTOCReader::readDiscTOC(cd)->trackOffsets(), QList<qint64>({150, 225, 300}));

    // A truncated copy, a track that is no whole number of sectors, a non-audio file named like a track.
    const QString broken = cd + QStringLiteral("/11 Track.wav");
    for (const auto& [frames, cut] : {std::pair{588 * 75, 1}, {588 * 75 + 1, 0}}) {
        ASSERT_TRUE(writeCDTrack(broken, frames, false, cut));
        EXPECT_FALSE(DiscTOCReader::readDiscTOC(cd));
    }
    ASSERT_TRUE(writeBytes(broken, "not sound at all"));
    EXPECT_FALSE(DiscTOCReader::readDiscTOC(cd));
    EXPECT_TRUE(log.contains(broken + QStringLiteral(" is not a complete AIFF or WAV file")));
}

TEST(AudioTrackList, TrackNumbersOfMacAndGvfsNames)
{
    // The Mac's and gvfs's track names both carry the track's number.
    for (const auto& [name, number] : {std::pair{"3 Audio Track.aiff", 3},
                                       {"Track 12.wav", 12},
                                       {"track 7.WAV", 7},
                                       {"Track 1.aiff", 0},
                                       {"My Track 2.wav", 0}})
        EXPECT_EQ(AudioTrackList::trackNumber(QString::fromLatin1(name)), number) << name;
}
