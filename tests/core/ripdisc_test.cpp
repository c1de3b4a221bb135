// A disc image ripped with vesk-rip and the real LAME: the sound hidden before track 1 as track 0,
// titles from its CD-Text when no server knows it, ISRCs as TSRC frames, and in the rip log each track's copy CRC equal to zlib's
// CRC-32 of the image's sound, also shifted by a read offset.
#include "cddbserver.h"
#include "disc/disctoc.h"
#include "staticwebserver.h"
#include "disc/cdiodisc.h"
#include "rip/hiddentrack.h"
#include "support/testdiscimage.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QDir>
#include <QProcess>
#include <QtEndian>
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

namespace {
// A disc of three 480-sector tracks of noise for the AccurateRip checks: long enough for a
// sector 450, the sound of each a different seed.
constexpr qint64 arTrackSectors = 480;
constexpr int arTracks = 3;

QByteArray arDiscSound()
{
    QByteArray sound(arTracks * arTrackSectors * sectorBytes, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (qsizetype i = 0; i < sound.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        sound[i] = char(state >> 24);
    }
    return sound;
}

QByteArray arCueSheet()
{
    QByteArray cue = "FILE \"disc.bin\" BINARY\n";
    for (int track = 0; track < arTracks; ++track) {
        const qint64 start = track * arTrackSectors;
        cue += QStringLiteral("  TRACK %1 AUDIO\n    INDEX 01 %2:%3:%4\n")
                   .arg(track + 1, 2, 10, QLatin1Char('0'))
                   .arg(start / 75 / 60, 2, 10, QLatin1Char('0'))
                   .arg(start / 75 % 60, 2, 10, QLatin1Char('0'))
                   .arg(start % 75, 2, 10, QLatin1Char('0'))
                   .toLatin1();
    }
    return cue;
}

QByteArray wavFile(const QByteArray& sound)
{
    QByteArray wav("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0", 44);
    const auto put32 = [&wav](int at, quint32 value) { qToLittleEndian(value, wav.data() + at); };
    put32(4, quint32(36 + sound.size()));
    put32(40, quint32(sound.size()));
    return wav + sound;
}

// Debian's accuraterip-checksum (from whipper) on one track of the sound: the second opinion.
quint32 theirChecksum(const QString& folder, const QByteArray& sound, int track, bool v2)
{
    const QString wav = QStringLiteral("%1/oracle-%2.wav").arg(folder).arg(track);
    writeTestFile(wav, wavFile(sound.mid((track - 1) * arTrackSectors * sectorBytes, arTrackSectors * sectorBytes)));
    QProcess tool;
    tool.start(s("accuraterip-checksum"), {v2 ? s("--accuraterip-v2") : s("--accuraterip-v1"), wav,
                                            QString::number(track), QString::number(arTracks)});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0) {
        ADD_FAILURE() << "accuraterip-checksum (Debian package whipper) did not run";
        return 0;
    }
    return QString::fromLatin1(tool.readAllStandardOutput()).trimmed().toUInt(nullptr, 16);
}

// The value the database keeps for finding offsets: sector 450 of the track, weighted 1 to 588.
quint32 sector450(const QByteArray& sound, int track)
{
    const char* first = sound.constData() + ((track - 1) * arTrackSectors + 450) * sectorBytes;
    quint32 sum = 0;
    for (quint32 i = 0; i < 588; ++i)
        sum += (i + 1) * qFromLittleEndian<quint32>(first + 4 * i);
    return sum;
}

// A dBAR file as the database sends it: a response of v2 checksums seen 12 times, one of v1
// checksums seen 5 times.
QByteArray dBarFile(const QString& folder, const QByteArray& sound, quint32 id1, quint32 id2, quint32 cddb)
{
    QByteArray file;
    for (const bool v2 : {true, false}) {
        QByteArray response(13, '\0');
        response[0] = char(arTracks);
        qToLittleEndian(id1, response.data() + 1);
        qToLittleEndian(id2, response.data() + 5);
        qToLittleEndian(cddb, response.data() + 9);
        for (int track = 1; track <= arTracks; ++track) {
            char entry[9];
            entry[0] = char(v2 ? 12 : 5);
            qToLittleEndian(theirChecksum(folder, sound, track, v2), entry + 1);
            qToLittleEndian(sector450(sound, track), entry + 5);
            response.append(entry, 9);
        }
        file += response;
    }
    return file;
}

struct ArStandIn {
    StaticWebServer server;
    explicit ArStandIn(const QString& folder) : server(folder) { server.listen(); }
};
} // namespace

// Each track's checksums against the database's (made with Debian's tool from the true sound):
// one flipped sample makes that track alone not accurate; a disc read 667 samples late is found
// at that offset and is accurate once ripped with it; GNOME's files of the disc are checked too;
// with the check off nothing is asked, and a web page for a reply fails nothing.
TEST(RipDisc, AccurateRipVouchesForEachTrackAndFindsTheReadOffset)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QByteArray truth = arDiscSound();
    // Sectors without the lead-in: the disc's place in the database.
    const quint32 leadout = arTracks * arTrackSectors;
    quint32 id1 = leadout, id2 = leadout * (arTracks + 1);
    QList<qint64> offsets;
    for (int track = 0; track < arTracks; ++track) {
        id1 += quint32(track * arTrackSectors);
        id2 += quint32(std::max<qint64>(track * arTrackSectors, 1) * (track + 1));
        offsets << track * arTrackSectors + 150;
    }
    const quint32 cddb = DiscTOC::fromOffsets(offsets, leadout + 150).cddbDiscId();
    const QString hex1 = QStringLiteral("%1").arg(id1, 8, 16, QLatin1Char('0'));
    const QString dbar = QStringLiteral("%1/db/accuraterip/%2/%3/%4/dBAR-%5-%6-%7-%8.bin")
                             .arg(work.path(), hex1.right(1), hex1.mid(6, 1), hex1.mid(5, 1))
                             .arg(arTracks, 3, 10, QLatin1Char('0'))
                             .arg(hex1)
                             .arg(id2, 8, 16, QLatin1Char('0'))
                             .arg(cddb, 8, 16, QLatin1Char('0'));
    QDir().mkpath(QFileInfo(dbar).path());
    ASSERT_TRUE(writeTestFile(dbar, dBarFile(work.path(), truth, id1, id2, cddb)));
    ArStandIn standIn(work.filePath(s("db")));
    const auto rip = [&](const QByteArray& sound, const QStringList& extra, const QString& name) {
        const QString folder = work.filePath(name);
        QDir().mkpath(folder);
        writeTestFile(folder + s("/disc.bin"), sound);
        writeTestFile(folder + s("/disc.cue"), arCueSheet());
        return runVeskRip(QStringList{s("--server"), QString(), s("--no-musicbrainz"), s("--fast-read"), s("--output"),
                                      folder + s("/out"), s("--accuraterip-url"), standIn.server.rootUrl()} +
                          extra + QStringList{folder + s("/disc.cue")});
    };

    QByteArray flipped = truth;
    flipped[(arTrackSectors + 100) * sectorBytes + 2] ^= 0x10; // a sample in track 2
    RipRun run = rip(flipped, {s("--require-accurate")}, s("flipped"));
    EXPECT_TRUE(exitedSaying(run, 3,
                             {s("Ripped 3 of 3 tracks"), s("Track 1: accurately ripped (confidence 12, v2)"),
                              s("Track 2: not accurately ripped (the database has 12 copies that agree with each other)"),
                              s("Track 3: accurately ripped (confidence 12, v2)")}));
    const QString album = work.filePath(s("flipped/out/Artist - Title"));
    const QString log = QString::fromUtf8(readTestFile(album + u'/' + folderEntries(album).filter(s(".log")).value(0)));
    EXPECT_TRUE(log.contains(s("AccurateRip: not accurately ripped"))) << log.toStdString();
    EXPECT_TRUE(log.contains(s("the drive's offset is not known yet"))) << log.toStdString();

    // Read 667 samples late: the sound is the truth delayed.
    const QByteArray late = QByteArray(667 * 4, '\0') + truth.left(truth.size() - 667 * 4);
    run = rip(late, {}, s("late"));
    EXPECT_TRUE(exitedSaying(run, 0, {s("Track 2: not accurately ripped"), s("read offset +667"), s("--read-offset 667")}));
    run = rip(late, {s("--read-offset"), s("667")}, s("corrected"));
    EXPECT_TRUE(exitedSaying(run, 0, {s("Track 1: accurately ripped (confidence 12, v2)"),
                                      s("Track 3: accurately ripped (confidence 12, v2)"), s("All 3 tracks accurately ripped.")}));

    // GNOME's files of the disc, in its mount (read once, in disc order) and copied to a folder
    // (read beside the encoder): the same verdict from the same database.
    for (const QString& folder : {work.filePath(s("run/gvfs/cdda:host=sr0")), work.filePath(s("copy"))}) {
        QDir().mkpath(folder);
        for (int track = 1; track <= arTracks; ++track)
            writeTestFile(QStringLiteral("%1/Track %2.wav").arg(folder).arg(track),
                          wavFile(flipped.mid((track - 1) * arTrackSectors * sectorBytes, arTrackSectors * sectorBytes)));
        run = runVeskRip({s("--server"), QString(), s("--no-musicbrainz"), s("--output"), folder + s("-out"),
                          s("--accuraterip-url"), standIn.server.rootUrl(), folder});
        EXPECT_TRUE(exitedSaying(run, 0, {s("Ripped 3 of 3 tracks"), s("Track 1: accurately ripped (confidence 12, v2)"),
                                          s("Track 2: not accurately ripped")})) << folder.toStdString();
    }

    const qsizetype asked = standIn.server.requests().size();
    EXPECT_EQ(asked, 5);
    run = rip(truth, {s("--no-accuraterip")}, s("off"));
    EXPECT_TRUE(exitedSaying(run, 0, {s("Ripped 3 of 3 tracks")}));
    EXPECT_FALSE(run.err.contains(s("AccurateRip")));
    EXPECT_EQ(standIn.server.requests().size(), asked);

    standIn.server.queueAnswer(200, "<html><body>Database offline</body></html>");
    run = rip(truth, {}, s("html"));
    EXPECT_TRUE(exitedSaying(run, 0, {s("Track 1: not in the database"), s("web page")}));
    standIn.server.queueAnswer(200, QByteArray(10 * 1024 * 1024, 'x'), "application/octet-stream");
    run = rip(truth, {}, s("huge"));
    EXPECT_TRUE(exitedSaying(run, 0, {s("Track 1: could not check"), s("Could not check with AccurateRip")}));
}
