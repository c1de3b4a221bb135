// Tracks read from disc images the tests write, byte for byte against the sound the tests put
// there: in paranoia and fast mode, from little- and big-endian images, shifted by read offsets
// with silence beyond the disc's audio, on two threads at once; the trouble paranoia reports
// when libcdio-paranoia simulates a poor drive; an image cut short or a reader stopped mid-read.
#include "disc/cdiodisc.h"
#include "disc/cdiotracksource.h"
#include "disc/discerror.h"
#include "support/qstringprinter.h"
#include "support/testdiscimage.h"
#include "support/testenvironment.h"

#include <QTemporaryDir>
#include <cdio/paranoia/cdda.h>
#include <gtest/gtest.h>
#include <thread>
#include <zlib.h>

using namespace TestDiscImage;

namespace {
class TrackReading : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(writeTestFile(path("sound.bin"), sound()));
        ASSERT_TRUE(writeTestFile(path("album.cue"), cueSheet("sound.bin")));
        ASSERT_TRUE(writeTestFile(path("motorola.bin"), bigEndianSound()));
        ASSERT_TRUE(writeTestFile(path("motorola.cue"), cueSheet("motorola.bin", false, "MOTOROLA")));
        ASSERT_TRUE(writeTestFile(path("data.iso"), dataTrack()));
        ASSERT_TRUE(writeTestFile(path("album.toc"), tocFile("motorola.bin", "data.iso")));
    }
    QString path(const QString& name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
};

// Everything the device gives, in the pieces an encoder's feeder asks for.
QByteArray readAll(QIODevice& sound)
{
    QByteArray all;
    for (QByteArray block; !(block = sound.read(65536)).isEmpty();)
        all += block;
    return all;
}

quint32 zlibCrc(const QByteArray& bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

ReadOptions options(ReadOptions::Mode mode, int offset = 0, int faults = 0)
{
    ReadOptions result;
    result.mode = mode;
    result.offset = offset;
    result.simulatedFaults = faults;
    return result;
}

constexpr ReadOptions::Mode bothModes[] = {ReadOptions::Mode::Paranoia, ReadOptions::Mode::Fast};
} // namespace

TEST_F(TrackReading, EveryTrackByteForByteInBothModes)
{
    for (const QString& image :
         {QStringLiteral("album.cue"), QStringLiteral("motorola.cue"), QStringLiteral("album.toc")}) {
        const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path(image));
        for (const ReadOptions::Mode mode : bothModes) {
            for (int number = 0; number <= 3; ++number) {
                SCOPED_TRACE(QStringLiteral("%1 track %2 %3")
                                 .arg(image)
                                 .arg(number)
                                 .arg(mode == ReadOptions::Mode::Fast ? "fast" : "paranoia")
                                 .toStdString());
                const CdioTrackSource source(disc, number, options(mode));
                ASSERT_TRUE(source.problem().isEmpty()) << source.problem().toStdString();
                EXPECT_TRUE(source.filePath().isNull());
                const CdioDisc::Track track = *disc->track(number);
                EXPECT_EQ(source.sampleFrames(), track.sectors() * 588);
                const std::unique_ptr<CdioSoundDevice> sound = source.openReader();
                const QByteArray bytes = readAll(*sound);
                const QByteArray expected = expectedSound(track.firstSector, track.lastSector, 0);
                ASSERT_EQ(bytes.size(), expected.size());
                EXPECT_TRUE(bytes == expected);
                EXPECT_TRUE(sound->atEnd());
                const ReadReport& report = sound->report();
                EXPECT_TRUE(report.exact());
                EXPECT_EQ(report.crc32, zlibCrc(expected));
                EXPECT_EQ(report.readErrors + report.skips + report.scratches + report.jitterFixes, 0);
                // Paranoia reads each sector twice, and a little more where its reads overlap.
                if (mode == ReadOptions::Mode::Fast) {
                    EXPECT_EQ(report.sectorsRead, track.sectors());
                    EXPECT_EQ(report.rereads, 0);
                } else {
                    EXPECT_GE(report.sectorsRead, 2 * track.sectors());
                    EXPECT_LE(report.rereads, 2 + track.sectors() / 100);
                }
            }
        }
        if (image.endsWith(QLatin1String(".toc"))) {
            EXPECT_EQ(CdioTrackSource(disc, 4).problem(), QStringLiteral("is a data track, not sound"));
        }
    }

    // Two readers of one disc on two threads take turns with the drive and keep their reports apart.
    const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path("album.cue"));
    QByteArray first, second;
    std::thread other([&] { first = readAll(*CdioTrackSource(disc, 1).openSound()); });
    second = readAll(*CdioTrackSource(disc, 2).openSound());
    other.join();
    EXPECT_TRUE(first == expectedSound(track1Start, track2Start - 1, 0));
    EXPECT_TRUE(second == expectedSound(track2Start, track3Start - 1, 0));
}

TEST_F(TrackReading, ReadOffsetShiftsEachTrackExactly)
{
    const std::shared_ptr<CdioDisc> cue = CdioDisc::open(path("album.cue"));
    const std::shared_ptr<CdioDisc> toc = CdioDisc::open(path("album.toc"));
    for (const int offset : {1234, -1234, 588, -1, ReadOptions::maxOffset, -ReadOptions::maxOffset}) {
        for (const ReadOptions::Mode mode : bothModes) {
            for (int number = 0; number <= 3; ++number) {
                SCOPED_TRACE(QStringLiteral("track %1 offset %2 %3")
                                 .arg(number)
                                 .arg(offset)
                                 .arg(mode == ReadOptions::Mode::Fast ? "fast" : "paranoia")
                                 .toStdString());
                const CdioDisc::Track track = *cue->track(number);
                const QByteArray expected = expectedSound(track.firstSector, track.lastSector, offset);
                const std::unique_ptr<CdioSoundDevice> sound =
                    CdioTrackSource(cue, number, options(mode, offset)).openReader();
                const QByteArray bytes = readAll(*sound);
                EXPECT_EQ(bytes.size(), track.sectors() * sectorBytes);
                EXPECT_TRUE(bytes == expected);
                EXPECT_EQ(sound->report().crc32, zlibCrc(expected));
                // The toc's last audio track ends at the gap before its data track.
                if (number == 3) {
                    EXPECT_TRUE(readAll(*CdioTrackSource(toc, 3, options(mode, offset)).openSound()) ==
                                expected);
                }
            }
        }
        // Beyond the first and the last audio sector there is nothing but silence.
        const QByteArray silence(std::abs(offset) * 4, '\0');
        const ReadOptions fast = options(ReadOptions::Mode::Fast, offset);
        if (offset < 0) {
            EXPECT_TRUE(readAll(*CdioTrackSource(cue, 0, fast).openSound()).startsWith(silence));
        } else {
            EXPECT_TRUE(readAll(*CdioTrackSource(cue, 3, fast).openSound()).endsWith(silence));
        }
    }
    EXPECT_FALSE(CdioTrackSource(cue, 2, options(ReadOptions::Mode::Fast, ReadOptions::maxOffset + 1))
                     .problem()
                     .isEmpty());
    EXPECT_FALSE(
        CdioTrackSource(cue, 2, options(ReadOptions::Mode::Fast, ReadOptions::maxOffset + 1)).openSound());
}

TEST_F(TrackReading, ParanoiaReportsTroubleFromTheDrive)
{
    const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path("album.cue"));
    const QByteArray expected = expectedSound(track2Start, track3Start - 1, 0);

    // Reads that all start a little off. Paranoia realigns them and says so (where the track
    // lies as a whole it takes from its first read, which a drive this bad gets wrong too);
    // fast mode hands them on as they come.
    const int jitter = CDDA_TEST_JITTER_SMALL | CDDA_TEST_ALWAYS_JITTER;
    const std::unique_ptr<CdioSoundDevice> verified =
        CdioTrackSource(disc, 2, options(ReadOptions::Mode::Paranoia, 0, jitter)).openReader();
    EXPECT_EQ(readAll(*verified).size(), expected.size());
    EXPECT_GT(verified->report().jitterFixes, 0);
    EXPECT_GT(verified->report().rereads, expected.size() / sectorBytes / 4);
    EXPECT_TRUE(verified->report().finished);
    const std::unique_ptr<CdioSoundDevice> fast =
        CdioTrackSource(disc, 2, options(ReadOptions::Mode::Fast, 0, jitter)).openReader();
    EXPECT_FALSE(readAll(*fast) == expected);
    EXPECT_EQ(fast->report().jitterFixes, 0);
    EXPECT_TRUE(fast->report().exact());

    // Every read a sector short: read errors, and stretches paranoia gives up on.
    const std::unique_ptr<CdioSoundDevice> shortReads =
        CdioTrackSource(disc, 3, options(ReadOptions::Mode::Paranoia, 0, CDDA_TEST_UNDERRUN)).openReader();
    EXPECT_EQ(readAll(*shortReads).size(), (audioSectors - track3Start) * sectorBytes);
    const ReadReport& report = shortReads->report();
    EXPECT_GT(report.readErrors, 0);
    EXPECT_GT(report.rereads, audioSectors - track3Start);
    EXPECT_GT(report.skips, 0);
    EXPECT_TRUE(report.finished);
    EXPECT_FALSE(report.exact());

    // The faults were this reader's alone.
    EXPECT_TRUE(readAll(*CdioTrackSource(disc, 2).openSound()) == expected);
}

TEST_F(TrackReading, ImageCutShortOrStopMidReadEndsWithAReason)
{
    for (const ReadOptions::Mode mode : bothModes) {
        SCOPED_TRACE(mode == ReadOptions::Mode::Fast ? "fast" : "paranoia");
        ASSERT_TRUE(writeTestFile(path("sound.bin"), sound()));
        const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path("album.cue"));
        const std::unique_ptr<CdioSoundDevice> sound = CdioTrackSource(disc, 3, options(mode)).openReader();
        EXPECT_EQ(sound->read(65536).size(), 65536);
        ASSERT_TRUE(QFile::resize(path("sound.bin"), 600 * sectorBytes));
        readAll(*sound);
        EXPECT_TRUE(sound->atEnd());
        const ReadReport& report = sound->report();
        EXPECT_FALSE(report.finished);
        EXPECT_EQ(report.crc32, 0u);
        EXPECT_EQ(report.failure, QStringLiteral("Reading %1 stopped: %2 has become shorter.")
                                      .arg(path("album.cue"), path("sound.bin")));
        EXPECT_EQ(sound->errorString(), report.failure);
    }

    ASSERT_TRUE(writeTestFile(path("sound.bin"), sound()));
    const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path("album.cue"));
    const std::unique_ptr<CdioSoundDevice> gone = CdioTrackSource(disc, 1).openReader();
    EXPECT_FALSE(gone->read(4096).isEmpty());
    ASSERT_TRUE(QFile::remove(path("sound.bin")));
    readAll(*gone);
    EXPECT_EQ(gone->report().failure,
              QStringLiteral("Reading %1 stopped: %2 is gone.").arg(path("album.cue"), path("sound.bin")));

    ASSERT_TRUE(writeTestFile(path("sound.bin"), sound()));
    const std::unique_ptr<CdioSoundDevice> stopped =
        CdioTrackSource(CdioDisc::open(path("album.cue")), 2).openReader();
    EXPECT_FALSE(stopped->read(4096).isEmpty());
    stopped->stop();
    readAll(*stopped);
    EXPECT_EQ(stopped->report().failure, QStringLiteral("Reading was stopped."));
    EXPECT_FALSE(stopped->report().finished);
}
