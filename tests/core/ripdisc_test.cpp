// A disc image ripped with vesk-rip and the real LAME: the sound hidden before track 1 as track 0,
// titles from its CD-Text when no server knows it, ISRCs as TSRC frames, and in the rip log each track's copy CRC equal to zlib's
// CRC-32 of the image's sound, also shifted by a read offset.
#include "cddbserver.h"
#include "disc/cdiodisc.h"
#include "rip/hiddentrack.h"
#include "support/testdiscimage.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <zlib.h>

using namespace TestDiscImage;

namespace {
QString frameText(const QString& path, const char* frame)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    const TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
    if (!tag || tag->frameListMap()[frame].isEmpty())
        return QString();
    return QString::fromStdString(tag->frameListMap()[frame].front()->toString().to8Bit(true));
}
} // namespace

TEST(RipDisc, AnImageIsRippedWithItsCdTextIsrcsAndExactCopyCrcs)
{
    TestEnvironment env;
    QTemporaryDir work;
    ASSERT_TRUE(writeTestFile(work.filePath(s("disc.bin")), sound()));
    ASSERT_TRUE(writeTestFile(work.filePath(s("disc.cue")), cueSheet("disc.bin")));
    // Tracks as the disc lays them out: a pregap belongs to the track before it.
    const qint64 bounds[][2] = {
        {0, track1Start - 1}, {track1Start, track2Start - 1}, {track2Start, track3Start - 1}, {track3Start, audioSectors - 1}};
    for (const int offset : {0, -700}) {
        const QString out = work.filePath(QStringLiteral("out%1").arg(offset));
        QStringList arguments{s("--server"), QString(), s("--no-musicbrainz"), s("--id3-tags"), s("--output"), out,
                              s("--read-offset"), QString::number(offset), work.filePath(s("disc.cue"))};
        if (offset != 0)
            arguments.prepend(s("--fast-read"));
        const RipRun run = runVeskRip(arguments);
        ASSERT_TRUE(exitedSaying(run, 0, {s("Ripped 4 of 4 tracks")}));
        const QString album = out + s("/Café Tacuba - Ñandú");
        const QStringList files = folderEntries(album);
        const QStringList mp3s = files.filter(s(".mp3"));
        ASSERT_EQ(mp3s.size(), 4) << files.join(u',').toStdString();
        EXPECT_EQ(mp3s.first(), s("00 - Hidden track.mp3"));
        const QString first = album + u'/' + mp3s.at(1);
        EXPECT_EQ(id3Summary(first).section(u'|', 0, 2), s("Première|Zoë|Ñandú"));
        EXPECT_EQ(frameText(first, "TSRC"), s("DEA123456789"));
        EXPECT_EQ(frameText(album + u'/' + mp3s.at(2), "TSRC"), s("USABC9900002"));

        const QString log = QString::fromUtf8(readTestFile(album + s("/00-Café Tacuba-Ñandú.log")));
        ASSERT_FALSE(log.isEmpty()) << files.join(u',').toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Read offset: %1 samples").arg(offset)));
        EXPECT_TRUE(log.contains(s("Every track was read exactly.")));
        const QStringList crcs = [&] {
            QStringList found;
            for (const auto& match : QRegularExpression(s("Copy CRC: ([0-9A-F]{8})")).globalMatch(log))
                found << match.captured(1);
            return found;
        }();
        ASSERT_EQ(crcs.size(), 4) << log.toStdString();
        for (int track = 0; track < 4; ++track) {
            const QByteArray expected = expectedSound(bounds[track][0], bounds[track][1], offset);
            const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(expected.constData()), uInt(expected.size())));
            EXPECT_EQ(crcs[track], QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper()) << "track " << track << " offset " << offset;
        }
        // Neither the playlist nor the checksum list names the log.
        for (const QString& release : files.filter(QRegularExpression(s("\\.(m3u|sfv)$"))))
            EXPECT_FALSE(readTestFile(album + u'/' + release).contains(".log"));
    }
}

// A server that knows the image (by the identifier of the image's own table of contents) gives
// the titles; the disc's CD-Text gives way to it.
TEST(RipDisc, TheServerKnowsTheImageByItsOwnTableOfContents)
{
    TestEnvironment env;
    QTemporaryDir work;
    ASSERT_TRUE(writeTestFile(work.filePath(s("disc.bin")), sound()));
    ASSERT_TRUE(writeTestFile(work.filePath(s("disc.cue")), cueSheet("disc.bin")));
    const quint32 id = CdioDisc::open(work.filePath(s("disc.cue")))->toc().cddbDiscId();
    ASSERT_TRUE(writeTestFile(work.filePath(s("cddb/rock/") + discIdText(id)),
                              "DTITLE=Served Band / Served Album\nDYEAR=2001\nTTITLE0=One\nTTITLE1=Two\nTTITLE2=Three\n"));
    CddbServer cddb(work.filePath(s("cddb")));
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(cddb.listen(address, 8880)) << cddb.errorString().toStdString();
    const QString out = work.filePath(s("out"));
    const RipRun run = runVeskRip({s("--server"), address, s("--no-musicbrainz"), s("--id3-tags"), s("--output"), out,
                                   s("--track"), s("1"), work.filePath(s("disc.cue"))});
    ASSERT_TRUE(exitedSaying(run, 0, {s("Found: Served Band – Served Album (2001), CDDB: rock ") + discIdText(id),
                                     s("Ripped 1 of 1 tracks")}));
    EXPECT_EQ(id3Summary(out + s("/Served Band - Served Album/01 - One.mp3")).section(u'|', 0, 2),
              s("One|Served Band|Served Album"));
}

// Nearly every pregap is digital silence: then there is no hidden track to rip.
TEST(RipDisc, ASilentPregapIsNoHiddenTrack)
{
    TestEnvironment env;
    QTemporaryDir work;
    QByteArray silent = sound();
    silent.replace(0, int(track1Start * sectorBytes), QByteArray(int(track1Start * sectorBytes), '\0'));
    ASSERT_TRUE(writeTestFile(work.filePath(s("loud.bin")), sound()));
    ASSERT_TRUE(writeTestFile(work.filePath(s("loud.cue")), cueSheet("loud.bin")));
    ASSERT_TRUE(writeTestFile(work.filePath(s("silent.bin")), silent));
    ASSERT_TRUE(writeTestFile(work.filePath(s("silent.cue")), cueSheet("silent.bin")));
    EXPECT_TRUE(HiddenTrack::holdsSound(CdioDisc::open(work.filePath(s("loud.cue")))));
    EXPECT_FALSE(HiddenTrack::holdsSound(CdioDisc::open(work.filePath(s("silent.cue")))));
}

// A cdrdao .toc image (raw sound most significant byte first, a data track after the audio)
// rips the same sound.
TEST(RipDisc, ATocImageRipsTheSameSound)
{
    TestEnvironment env;
    QTemporaryDir work;
    ASSERT_TRUE(writeTestFile(work.filePath(s("disc.raw")), bigEndianSound()));
    ASSERT_TRUE(writeTestFile(work.filePath(s("data.bin")), dataTrack()));
    ASSERT_TRUE(writeTestFile(work.filePath(s("disc.toc")), tocFile("disc.raw", "data.bin")));
    const QString out = work.filePath(s("out"));
    const RipRun run = runVeskRip({s("--server"), QString(), s("--no-musicbrainz"), s("--output"), out, s("--track"),
                                   s("2"), work.filePath(s("disc.toc"))});
    ASSERT_TRUE(exitedSaying(run, 0, {s("Ripped 1 of 1 tracks")}));
    const QStringList logs = QDir(out).entryList({s("*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(logs.size(), 1);
    const QString album = out + u'/' + logs.first();
    const QString log = QString::fromUtf8(readTestFile(album + u'/' + folderEntries(album).filter(s(".log")).value(0)));
    const QByteArray expected = expectedSound(track2Start, track3Start - 1, 0);
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(expected.constData()), uInt(expected.size())));
    EXPECT_TRUE(log.contains(s("Copy CRC: ") + QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper()))
        << log.toStdString();
    EXPECT_TRUE(log.contains(s("(data)"))) << log.toStdString();
}
