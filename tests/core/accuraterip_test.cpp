// AccurateRip: the checksums against Debian's accuraterip-checksum (whipper) at offset 0, at other
// offsets and at a shift; the disc id against a known answer; whipper's dBAR files and hostile
// ones; and the verdict for a database made from the same disc.
#include "disc/accuraterip/accurateripchecksums.h"
#include "disc/accuraterip/accurateripdiscid.h"
#include "lookup/accuraterip/accuraterippressing.h"
#include "lookup/accuraterip/accurateripverdict.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <vector>

namespace {
constexpr qint64 sectorFrames = 588;
// Four tracks, each a few sectors longer than sector 450 plus five, starting after a short gap.
const QList<qint64> starts = {20, 490, 960, 1425};
constexpr qint64 leadout = 1890;

// Pseudo-random 16-bit stereo frames for the whole disc, from disc position starts[0] × 588.
const std::vector<quint32>& discSound()
{
    static const std::vector<quint32> sound = [] {
        std::vector<quint32> frames(std::size_t((leadout - starts[0]) * sectorFrames));
        quint64 state = 0x9E3779B97F4A7C15u;
        for (quint32& frame : frames) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            frame = quint32(state >> 32);
        }
        return frames;
    }();
    return sound;
}

// The disc's frames at positions [from, from + count), silence off the disc.
std::vector<quint32> cut(const std::vector<quint32>& sound, qint64 from, qint64 count)
{
    std::vector<quint32> frames(static_cast<std::size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        const qint64 at = from + i - starts[0] * sectorFrames;
        if (at >= 0 && at < qint64(sound.size()))
            frames[std::size_t(i)] = sound[std::size_t(at)];
    }
    return frames;
}

QByteArray bytesOf(const std::vector<quint32>& frames)
{
    QByteArray bytes(qsizetype(frames.size() * 4), Qt::Uninitialized);
    for (std::size_t i = 0; i < frames.size(); ++i)
        qToLittleEndian(frames[i], bytes.data() + 4 * i);
    return bytes;
}

// accuraterip-checksum's value for the frames as track `number` of `total`.
quint32 toolChecksum(const std::vector<quint32>& frames, int number, int total, int version)
{
    static QTemporaryDir folder;
    const QByteArray data = bytesOf(frames);
    QByteArray wav = "RIFF____WAVEfmt ____________________data____";
    qToLittleEndian<quint32>(quint32(36 + data.size()), wav.data() + 4);
    qToLittleEndian<quint32>(16, wav.data() + 16);
    qToLittleEndian<quint16>(1, wav.data() + 20);
    qToLittleEndian<quint16>(2, wav.data() + 22);
    qToLittleEndian<quint32>(44100, wav.data() + 24);
    qToLittleEndian<quint32>(44100 * 4, wav.data() + 28);
    qToLittleEndian<quint16>(4, wav.data() + 32);
    qToLittleEndian<quint16>(16, wav.data() + 34);
    qToLittleEndian<quint32>(quint32(data.size()), wav.data() + 40);
    const QString path = folder.filePath(QStringLiteral("track.wav"));
    if (!writeTestFile(path, wav + data))
        ADD_FAILURE() << "cannot write " << path.toStdString();
    QProcess tool;
    tool.start(QStringLiteral("accuraterip-checksum"),
               {version == 1 ? QStringLiteral("--accuraterip-v1") : QStringLiteral("--accuraterip-v2"), path,
                QString::number(number), QString::number(total)});
    tool.waitForFinished(-1);
    bool ok = false;
    const quint32 value = QString::fromLatin1(tool.readAllStandardOutput()).trimmed().toUInt(&ok, 16);
    if (!ok || tool.exitCode() != 0)
        ADD_FAILURE() << "accuraterip-checksum gave no checksum";
    return value;
}

bool haveTool()
{
    return !QStandardPaths::findExecutable(QStringLiteral("accuraterip-checksum")).isEmpty();
}

// Feeds the sound in awkward pieces: odd byte counts (partial frames carried over) for the first
// half, whole-frame blocks from the end backwards for the rest, and then a damaged copy of a block
// already given, which must be ignored.
void feed(AccurateRipChecksums& sums, const std::vector<quint32>& sound)
{
    const QByteArray bytes = bytesOf(sound);
    const qint64 origin = starts[0] * sectorFrames;
    const qsizetype half = bytes.size() / 2 & ~qsizetype(3);
    for (qsizetype at = 0, step = 1; at < half; step = step * 7 % 10007 + 1) {
        const qsizetype size = std::min<qsizetype>(step, half - at);
        sums.add(origin + at / 4, bytes.constData() + at, size);
        at += size;
    }
    for (qsizetype end = bytes.size(); end > half;) {
        const qsizetype begin = std::max(half, end - 4 * 1000);
        sums.add(origin + begin / 4, bytes.constData() + begin, end - begin);
        end = begin;
    }
    const QByteArray damaged(4 * 5000, '\x55');
    sums.add(origin + 300000, damaged.constData(), damaged.size());
}

qint64 begin(int index, int shift = 0)
{
    return starts[index] * sectorFrames + shift;
}

qint64 length(int index)
{
    return ((index + 1 < starts.size() ? starts[index + 1] : leadout) - starts[index]) * sectorFrames;
}

// A dBAR response: the disc's header, then confidence, checksum and sector-450 value a track.
QByteArray response(const AccurateRipDiscId& disc, const QList<AccurateRipPressing::Track>& tracks)
{
    QByteArray bytes(13, '\0');
    bytes[0] = char(disc.audioTracks);
    qToLittleEndian(disc.id1, bytes.data() + 1);
    qToLittleEndian(disc.id2, bytes.data() + 5);
    qToLittleEndian(disc.cddbId, bytes.data() + 9);
    for (const auto& track : tracks) {
        QByteArray entry(9, '\0');
        entry[0] = char(track.confidence);
        qToLittleEndian(track.checksum, entry.data() + 1);
        qToLittleEndian(track.sector450, entry.data() + 5);
        bytes += entry;
    }
    return bytes;
}
} // namespace

TEST(AccurateRip, ChecksumsAtEveryOffsetAndShiftAgreeWithAccurateRipChecksum)
{
    ASSERT_TRUE(haveTool()) << "accuraterip-checksum is missing: install Debian's whipper package";
    const auto& sound = discSound();
    const int total = int(starts.size());
    AccurateRipChecksums sums(starts, leadout);
    feed(sums, sound);
    ASSERT_EQ(sums.trackCount(), total);
    for (const int index : {0, 1, 3}) {
        SCOPED_TRACE(index);
        const auto& track = sums.track(index);
        EXPECT_TRUE(track.complete());
        EXPECT_EQ(sums.trackSamples(index), length(index));
        EXPECT_TRUE(sums.hasSector450(index));
        const auto frames = cut(sound, begin(index), length(index));
        EXPECT_EQ(track.v1, toolChecksum(frames, index + 1, total, 1));
        EXPECT_EQ(track.v2, toolChecksum(frames, index + 1, total, 2));
        EXPECT_EQ(track.sector450, sums.sector450At(index, 0));
        const auto everyOffset = sums.sector450AtEveryOffset(index);
        for (const int offset : {-2940, -588, -1, 0, 1, 667, 2940}) {
            SCOPED_TRACE(offset);
            const qint64 from = begin(index) + offset;
            EXPECT_EQ(sums.v1At(index, offset),
                      toolChecksum(cut(sound, from, length(index)), index + 1, total, 1));
            // A one-sector middle track is summed with multipliers 1 to 588, as sector 450 is.
            const quint32 sector = toolChecksum(cut(sound, from + 450 * sectorFrames, sectorFrames), 2, 3, 1);
            EXPECT_EQ(sums.sector450At(index, offset), sector);
            EXPECT_EQ(everyOffset[std::size_t(offset + AccurateRipChecksums::maxOffset)], sector);
        }
    }

    // Sound read without the drive's offset: every track is taken `shift` samples later.
    for (const int shift : {-667, 1234}) {
        SCOPED_TRACE(shift);
        AccurateRipChecksums shifted(starts, leadout, shift);
        feed(shifted, sound);
        for (const int index : {0, 2, 3}) {
            const auto frames = cut(sound, begin(index, shift), length(index));
            EXPECT_EQ(shifted.track(index).v1, toolChecksum(frames, index + 1, total, 1));
            EXPECT_EQ(shifted.track(index).v2, toolChecksum(frames, index + 1, total, 2));
        }
        // The first track reaches before the disc, the last beyond what was given: silence.
        EXPECT_EQ(shifted.track(0).complete(), shift > 0);
        EXPECT_EQ(shifted.track(3).complete(), shift < 0);
        EXPECT_EQ(shifted.v1At(3, 2940),
                  toolChecksum(cut(sound, begin(3, shift) + 2940, length(3)), 4, total, 1));
    }

    // A track only partly given is not complete; the missing sound counts as silence.
    AccurateRipChecksums partial(starts, leadout);
    const QByteArray head = bytesOf(cut(sound, begin(1), 100000));
    partial.add(begin(1), head.constData(), head.size());
    EXPECT_FALSE(partial.track(1).complete());
    EXPECT_EQ(partial.track(1).samples, 100000);
    auto padded = cut(sound, begin(1), 100000);
    padded.resize(std::size_t(length(1)));
    EXPECT_EQ(partial.track(1).v1, toolChecksum(padded, 2, total, 1));
}

TEST(AccurateRip, DiscIdKnownAnswerAndImpossibleTables)
{
    // Bloc Party's "A Weekend in the City", as whipper's tests know it.
    const QList<qint64> bloc = {15220,  34869,  51382,  69040,  84142,  96676, 112377,
                                132298, 148445, 167922, 185389, 203181, 221953};
    const auto disc = AccurateRipDiscId::fromSectors(bloc, 243216, 0xad0be00d);
    ASSERT_TRUE(disc);
    EXPECT_EQ(disc->path(), s("accuraterip/e/d/2/dBAR-013-001af2de-0105994e-ad0be00d.bin"));
    EXPECT_EQ(disc->text(), s("013-001af2de-0105994e-ad0be00d"));
    // A first track at sector 0 counts as 1 in the second sum.
    const auto fromZero = AccurateRipDiscId::fromSectors({0, 1000}, 2000, 0x01020304);
    ASSERT_TRUE(fromZero);
    EXPECT_EQ(fromZero->fileName(), s("dBAR-002-00000bb8-00001f41-01020304.bin"));
    EXPECT_FALSE(AccurateRipDiscId::fromSectors({}, 1000, 0));
    EXPECT_FALSE(AccurateRipDiscId::fromSectors({0, 500, 400}, 1000, 0));
    EXPECT_FALSE(AccurateRipDiscId::fromSectors({0, 1000}, 1000, 0));
}

TEST(AccurateRip, PressingsFromWhippersFilesAndNothingFromHostileOnes)
{
    const QDir folder(QStringLiteral(VESK_TEST_DATA_DIR "/accuraterip"));
    const QStringList names = folder.entryList({QStringLiteral("dBAR-*.bin")});
    ASSERT_EQ(names.size(), 3);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QStringList fields = name.chopped(4).split(u'-');
        AccurateRipDiscId disc{fields[1].toInt(), fields[2].toUInt(nullptr, 16),
                               fields[3].toUInt(nullptr, 16), fields[4].toUInt(nullptr, 16)};
        const QByteArray data = readTestFile(folder.filePath(name));
        const auto pressings = AccurateRipPressing::parse(data, disc);
        ASSERT_TRUE(pressings);
        EXPECT_EQ(pressings->size(), data.size() / (13 + 9 * disc.audioTracks));
        for (const auto& pressing : *pressings) {
            EXPECT_EQ(pressing.id, disc);
            EXPECT_EQ(pressing.tracks.size(), disc.audioTracks);
        }
        const auto refuse = [&](const QByteArray& bytes, const AccurateRipDiscId& id, const char* what) {
            EXPECT_FALSE(AccurateRipPressing::parse(bytes, id)) << what;
        };
        refuse(data.chopped(1), disc, "truncated");
        refuse(data + '\0', disc, "a trailing byte");
        refuse(QByteArray(), disc, "empty");
        refuse("<html><body>404 Not Found</body></html>", disc, "a web page");
        refuse(data.repeated(AccurateRipPressing::maxFileBytes / data.size() + 1), disc, "too long");
        refuse(QByteArray(10 * 1024 * 1024, '\0'), disc, "10 MB");
        AccurateRipDiscId other = disc;
        other.id2 ^= 1;
        refuse(data, other, "another disc");
        other = disc;
        other.audioTracks = 1;
        refuse(data.left(13 + 9), other, "another track count");
    }
    // whipper's two-track file holds a v1 and a v2 response.
    const auto two = AccurateRipPressing::parse(readTestFile(folder.filePath(names[0])),
                                                {2, 0x0000f21c, 0x00027ef8, 0x05021002});
    ASSERT_TRUE(two && two->size() == 2);
    EXPECT_EQ((*two)[0].tracks[0].confidence, 12);
    EXPECT_EQ((*two)[0].tracks[1].confidence, 20);
    EXPECT_EQ((*two)[0].tracks[0].checksum, 0x284fc705u);
    EXPECT_EQ((*two)[1].tracks[1].checksum, 0xdd97d2c3u);
    EXPECT_EQ((*two)[1].tracks[1].confidence, 7);
}

TEST(AccurateRip, VerdictForMatchingDamagedAndShiftedRips)
{
    using Result = AccurateRipVerdict::Track::Result;
    const auto& sound = discSound();
    const auto disc = AccurateRipDiscId::fromSectors(starts, leadout, 0x2a07a104);
    ASSERT_TRUE(disc);
    AccurateRipChecksums reference(starts, leadout);
    feed(reference, sound);
    // The database: this pressing's v1 (with sector-450 values) and v2 responses, and another
    // pressing's v1 response whose values this disc has nowhere.
    QList<AccurateRipPressing::Track> v1, v2, other;
    for (int i = 0; i < reference.trackCount(); ++i) {
        v1.append({3, reference.track(i).v1, reference.track(i).sector450});
        v2.append({9, reference.track(i).v2, 0});
        other.append({4, reference.track(i).v1 ^ 0x1000u, reference.track(i).sector450 ^ 0x1000u});
    }
    const auto pressings =
        AccurateRipPressing::parse(response(*disc, v1) + response(*disc, v2) + response(*disc, other), *disc);
    ASSERT_TRUE(pressings);
    const QList<int> all = {0, 1, 2, 3};

    const auto exact = AccurateRipVerdict::judge(reference, *pressings, all, false);
    ASSERT_EQ(exact.tracks.size(), 4);
    EXPECT_TRUE(exact.allAccurate());
    EXPECT_EQ(exact.tracks[2].text(), s("accurately ripped (confidence 9, v2)"));
    EXPECT_EQ(exact.summary(), s("All 4 tracks accurately ripped."));
    EXPECT_FALSE(exact.foundOffset);
    const auto v1Only = AccurateRipVerdict::judge(reference, {(*pressings)[0], (*pressings)[2]}, {3}, false);
    EXPECT_EQ(v1Only.tracks[0].text(), s("accurately ripped (confidence 3, v1)"));

    // One flipped bit in track 3 (index 2).
    auto damagedSound = sound;
    damagedSound[std::size_t(begin(2) - begin(0) + 123456)] ^= 1u;
    AccurateRipChecksums damaged(starts, leadout);
    feed(damaged, damagedSound);
    const auto oneBad = AccurateRipVerdict::judge(damaged, *pressings, all, false);
    for (const auto& track : oneBad.tracks)
        EXPECT_EQ(track.result, track.index == 2 ? Result::NotAccurate : Result::Accurate) << track.index;
    EXPECT_EQ(oneBad.tracks[2].text(),
              s("not accurately ripped (the database has 9 copies that agree with each other)"));
    EXPECT_EQ(oneBad.summary(), s("3 of 4 tracks accurately ripped."));
    EXPECT_FALSE(oneBad.foundOffset);

    // Read 667 samples too early: the database matches 667 samples later.
    AccurateRipChecksums early(starts, leadout, -667);
    feed(early, sound);
    const auto unknownOffset = AccurateRipVerdict::judge(early, *pressings, all, false);
    EXPECT_EQ(unknownOffset.foundOffset, 667);
    EXPECT_EQ(unknownOffset.foundOffsetTracks, 4);
    EXPECT_EQ(unknownOffset.summary(), s("No track accurately ripped."));
    const auto knownOffset = AccurateRipVerdict::judge(early, *pressings, all, true);
    EXPECT_TRUE(knownOffset.allAccurate());
    EXPECT_FALSE(knownOffset.foundOffset);
    EXPECT_EQ(knownOffset.tracks[0].text(),
              s("accurately ripped (confidence 3, v1, another pressing, offset +667)"));
    AccurateRipChecksums late(starts, leadout, 588);
    feed(late, sound);
    EXPECT_EQ(AccurateRipVerdict::judge(late, *pressings, {1, 2}, false).foundOffset, -588);

    // Tracks the database has no copy of.
    QList<AccurateRipPressing> unknown = *pressings;
    for (auto& pressing : unknown)
        pressing.tracks[1].confidence = 0;
    const auto partlyKnown = AccurateRipVerdict::judge(reference, unknown, {1, 3}, false);
    EXPECT_EQ(partlyKnown.tracks[0].text(), s("not in the database"));
    EXPECT_EQ(partlyKnown.summary(), s("1 of 2 tracks accurately ripped."));
    EXPECT_EQ(AccurateRipVerdict::judge(reference, unknown, {1}, false).summary(),
              s("The disc is not in the AccurateRip database."));
    EXPECT_EQ(AccurateRipVerdict::judge(reference, {}, all, false).summary(),
              s("The disc is not in the AccurateRip database."));
}
