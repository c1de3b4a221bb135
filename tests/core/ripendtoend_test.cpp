// vesk-rip with the real encoder and titles from our CDDB (port 8880 on an address of its own) and
// MusicBrainz servers on loopback: what hostile entries and a C locale do to the files and to the
// tags a music library reads (TagLib), a CD as Linux shows it, and where a disc's titles come from.
#include "cddbserver.h"
#include "disc/disctoc.h"
#include "musicbrainzserver.h"
#include "staticwebserver.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <attachedpictureframe.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

namespace {
// ffmpeg's EBU R128 meter on a sound file: the integrated loudness, in LUFS.
double theirLoudness(const QString& path)
{
    QProcess ffmpeg;
    ffmpeg.start(s("ffmpeg"), {s("-nostats"), s("-i"), path, s("-filter_complex"), s("ebur128"), s("-f"), s("null"), s("-")});
    if (!ffmpeg.waitForFinished(60000)) {
        ADD_FAILURE() << "ffmpeg did not run";
        return 0;
    }
    const QString out = QString::fromUtf8(ffmpeg.readAllStandardError());
    const auto match = QRegularExpression(s("Summary:[\\s\\S]*I:\\s+(-?[0-9.]+) LUFS")).match(out);
    EXPECT_TRUE(match.hasMatch()) << out.toStdString();
    return match.captured(1).toDouble();
}

QString txxx(const QString& path, const char* description)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    const TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
    if (!tag)
        return QString();
    for (const TagLib::ID3v2::Frame* frame : tag->frameListMap()["TXXX"]) {
        const auto* text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (text && text->description() == description && text->fieldList().size() >= 2)
            return QString::fromStdString(text->fieldList()[1].to8Bit(true));
    }
    return QString();
}

double decibels(const QString& gain)
{
    return gain.section(u' ', 0, 0).toDouble();
}
} // namespace

namespace {
class RipEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cddb.listen(address, 8880)) << cddb.errorString().toStdString(); }
    // Makes the disc of short tracks at the offsets; the server knows it by entry (none when empty).
    QString disc(const QList<qint64>& offsets, qint64 leadout, const QByteArray& entry = {})
    {
        const QString id = makeTocDisc(cd, offsets, leadout);
        EXPECT_FALSE(id.isEmpty());
        EXPECT_TRUE(entry.isEmpty() || writeTestFile(work.filePath(s("cddb/misc/") + id),
                                                     "DISCID=" + id.toLatin1() + '\n' + entry));
        return id;
    }
    RipRun rip(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {})
    {
        const RipRun run = runVeskRip(QStringList{s("--server"), address} + arguments, prepare);
        EXPECT_TRUE(exitedSaying(run, 0));
        return run;
    }

    TestEnvironment env;
    QTemporaryDir work;
    const QString cd = work.filePath(s("cd"));
    const QString address = ownLoopbackAddress();
    CddbServer cddb{work.filePath(s("cddb"))};
};
} // namespace

// One encoder and two make the same files; the release files list them in track order (cksfv
// checks the SFV). The tags hold the album artist, "n/N" track numbers, no empty frame, and an
// ID3v1 tag only where every value fits it.
TEST_F(RipEndToEnd, HostileEntryUnderTheCLocaleKeepsEveryTitleAndEveryFileInside)
{
    const QString longTitle = QString(150, QChar(0xe9)); // 300 bytes of UTF-8
    const QStringList titles{s("Naïve"),          s("Côte d'Azur"), s(".."),
                             s("Live 100%2 mix"), longTitle,        s("Esc\x1b[2Jape")};
    QList<qint64> offsets;
    QByteArray entry = "DTITLE=.. / Ünder the Lïght\nDYEAR=2001\nDGENRE=1999\n";
    for (int i = 0; i < titles.size(); ++i) {
        offsets << 150 + 75 * i;
        entry += "TTITLE" + QByteArray::number(i) + "=" + titles[i].toUtf8() + "\n";
    }
    disc(offsets, 150 + 75 * titles.size(), entry);
    const QStringList names{s("00-..-Ünder the Lïght.m3u"),
                            s("00-..-Ünder the Lïght.sfv"),
                            s("01 - Naïve.mp3"),
                            s("02 - Côte d'Azur.mp3"),
                            s("03 - ...mp3"),
                            s("04 - Live 100%2 mix.mp3"),
                            s("05 - ") + QString(123, QChar(0xe9)) + s(".mp3"),
                            s("06 - Esc[2Jape.mp3")};

    for (const QString& jobs : {s("1"), s("2")}) {
        const QString out = work.filePath(s("out") + jobs);
        const RipRun run = rip({s("--no-musicbrainz"), s("--output"), out, s("--jobs"), jobs, s("--id3-tags"),
                                s("--artist-album-dirs"), s("--release-files"), cd},
                               withEnvironment(s("LC_ALL"), s("C")));
        ASSERT_EQ(run.exitCode, 0); // said by rip()
        // Every track encoded despite the genre LAME refuses, which is left out and reported once.
        EXPECT_EQ(run.err.count(s("knows no genre \"1999\"")), 1) << run.err.toStdString();
        // One exact line per track, also with two encoders at once.
        EXPECT_TRUE(run.out.split(u'\n').contains(s("Processing: Live 100%2 mix     (4 of 6)")))
            << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(s("dB"))) << run.out.toStdString();

        // Nothing outside the output folder; in it, the artist folder "__" and nothing else.
        ASSERT_EQ(folderEntries(out), QStringList{s("__")});
        const QString folder = out + s("/__/Ünder the Lïght");
        EXPECT_EQ(folderEntries(folder), names);
        EXPECT_EQ(QString::fromUtf8(readTestFile(folder + u'/' + names[0])),
                  names.mid(2).join(u'\n') + u'\n');
        QProcess cksfv;
        cksfv.setWorkingDirectory(folder);
        cksfv.start(s("cksfv"), {s("-q"), s("-f"), names[1]});
        ASSERT_TRUE(cksfv.waitForFinished(60000));
        EXPECT_EQ(cksfv.exitCode(), 0) << cksfv.readAll().toStdString();

        for (int i = 0; i < titles.size(); ++i) {
            // The entry's control character is dropped when the entry is read.
            EXPECT_EQ(id3Summary(folder + u'/' + names[i + 2]), QString(titles[i]).remove(QChar(0x1b)) +
                                                                    s("|..|Ünder the Lïght||2001|") +
                                                                    QString::number(i + 1));
            TagLib::MPEG::File file(QFile::encodeName(folder + u'/' + names[i + 2]).constData());
            ASSERT_TRUE(file.isValid() && file.hasID3v2Tag());
            const auto frame = [&file](const char* id) {
                const TagLib::ID3v2::FrameList frames = file.ID3v2Tag()->frameListMap()[id];
                return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
            };
            EXPECT_EQ(frame("TPE2") + '|' + frame("TRCK") + '|' + frame("COMM"),
                      "..|" + std::to_string(i + 1) + "/6|");
            for (const TagLib::ID3v2::Frame* each : file.ID3v2Tag()->frameList())
                EXPECT_FALSE(each->toString().isEmpty()) << each->frameID().data();
            // The long title would be cut in ID3v1: that tag is left out there only.
            EXPECT_EQ(file.hasID3v1Tag(), i != 4) << i;
        }
    }
    EXPECT_EQ(folderEntries(work.path()), QStringList({s("cd"), s("cddb"), s("out1"), s("out2")}));
}

// A title far longer than one command-line argument may be is cut to what a tag takes, with one
// log line: every track is ripped.
TEST_F(RipEndToEnd, AnEnormousTitleIsCutNotFatal)
{
    disc({150, 300}, 450, "DTITLE=Band / " + QByteArray(140000, 'x') + "\nTTITLE0=One\nTTITLE1=Two\n");
    const QString out = work.filePath(s("out"));
    const RipRun run = rip({s("--no-musicbrainz"), s("--id3-tags"), s("--output"), out, cd});
    EXPECT_EQ(run.err.count(s("is cut to what a tag can take")), 1);
    const QStringList albums = folderEntries(out);
    ASSERT_EQ(albums.size(), 1);
    const QStringList files = folderEntries(out + u'/' + albums[0]).filter(s(".mp3"));
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(id3Summary(out + u'/' + albums[0] + u'/' + files[0]).section(u'|', 2, 2),
              QString(16 * 1024, u'x'));
}

// MusicBrainz (the stand-in on loopback) is asked only for a disc the CDDB server does not know:
// a compilation whose second medium is the disc, tagged with each track's own artists.
TEST_F(RipEndToEnd, ADiscOnlyMusicBrainzKnowsIsNamedFromItsRelease)
{
    const QString id = disc({150, 20000, 40000}, 60000);
    QDir().mkpath(work.filePath(s("mb")));
    ASSERT_TRUE(QFile::copy(s(VESK_TEST_DATA_DIR "/musicbrainz/compilation-second-disc.json"),
                            work.filePath(s("mb/fBjpGnkUEx.Q9RI738jCR7WxqxI-.json"))));
    MusicBrainzServer musicBrainz(work.filePath(s("mb")));
    ASSERT_TRUE(musicBrainz.listen(address));
    const QStringList options{s("--id3-tags"), s("--musicbrainz-url"), musicBrainz.rootUrl(), s("--output")};

    rip(options + QStringList{work.filePath(s("one")), cd});
    const QString album = work.filePath(s("one/Various Artists - Песни года- Часть 2-2"));
    ASSERT_EQ(folderEntries(album).filter(s(".mp3")),
              QStringList({s("01 - Весна.mp3"), s("02 - Лето- ремикс.mp3"), s("03 - Ночь-День.mp3")}));
    EXPECT_EQ(id3Summary(album + s("/01 - Весна.mp3")).section(u'|', 1, 1), s("Иван Петров feat. Мария"));
    ASSERT_EQ(musicBrainz.requests().size(), 1);
    EXPECT_EQ(musicBrainz.requests()[0].target,
              "/ws/2/discid/fBjpGnkUEx.Q9RI738jCR7WxqxI-?toc=1+3+60000+150+20000+40000"
              "&inc=recordings+artist-credits+release-groups+labels&fmt=json");
    const QByteArray agent = musicBrainz.requests()[0].userAgent;
    EXPECT_TRUE(agent.startsWith("Vesk/") && agent.contains(" ( ") && agent.endsWith(" )")) << agent.data();

    // Once the CDDB server knows the disc, MusicBrainz is not asked.
    ASSERT_TRUE(writeTestFile(work.filePath(s("cddb/misc/") + id),
                              "DISCID=" + id.toLatin1() +
                                  "\nDTITLE=Band / Known\nTTITLE0=A\nTTITLE1=B\nTTITLE2=C\n"));
    rip(options + QStringList{work.filePath(s("two")), cd});
    EXPECT_TRUE(QDir(work.filePath(s("two/Band - Known"))).exists());
    EXPECT_EQ(musicBrainz.requests().size(), 1);
}

// A disc MusicBrainz knows gets its release's front cover from the Cover Art Archive (a stand-in
// that sends it on to another host), byte for byte, as the front-cover picture of every file and
// as cover.jpg, which neither the playlist nor the checksum list names; and the identifiers
// Picard writes. A disc the CDDB server knows asks MusicBrainz once for its release, and not at
// all with the option off.
TEST_F(RipEndToEnd, TheFrontCoverAndTheReleaseIdsGoIntoEveryFile)
{
    const QList<qint64> offsets{150, 600, 1050, 1500, 1950};
    const QString id = disc(offsets, 2400);
    QDir().mkpath(work.filePath(s("mb")));
    ASSERT_TRUE(QFile::copy(s(VESK_TEST_DATA_DIR "/musicbrainz/discid-release-facts.json"),
                            work.filePath(s("mb/1+5+2400+150+600+1050+1500+1950.json"))));
    MusicBrainzServer musicBrainz(work.filePath(s("mb")));
    ASSERT_TRUE(musicBrainz.listen(address));
    QDir().mkpath(work.filePath(s("images")));
    const QByteArray front = readTestFile(s(VESK_TEST_DATA_DIR "/coverart/front.jpg"));
    ASSERT_TRUE(writeTestFile(work.filePath(s("images/front.jpg")), front));
    StaticWebServer images(work.filePath(s("images")));
    ASSERT_TRUE(images.listen());
    StaticWebServer archive(work.filePath(s("mb")));
    archive.addRedirect(s("/release/8c0e5a52-0000-4000-8000-000000000010/front-500"), images.rootUrl() + s("/front.jpg"));
    ASSERT_TRUE(archive.listen());
    const QStringList options{s("--id3-tags"), s("--release-files"), s("--musicbrainz-url"), musicBrainz.rootUrl(),
                              s("--coverart-url"), archive.rootUrl(), s("--output")};

    const RipRun first = rip(options + QStringList{work.filePath(s("one")), cd});
    const QString album = work.filePath(s("one/Example Ensemble & Guest Singer - Shared Stage"));
    const QStringList files = folderEntries(album);
    const QStringList mp3s = files.filter(s(".mp3"));
    ASSERT_EQ(mp3s.size(), 5) << folderEntries(work.filePath(s("one"))).join(u',').toStdString() << first.err.toStdString();
    EXPECT_EQ(readTestFile(album + s("/cover.jpg")), front);
    for (const QString& release : files.filter(QRegularExpression(s("\\.(m3u|sfv)$"))))
        EXPECT_FALSE(readTestFile(album + u'/' + release).contains("cover")) << readTestFile(album + u'/' + release).toStdString();
    for (const QString& mp3 : mp3s) {
        TagLib::MPEG::File file(QFile::encodeName(album + u'/' + mp3).constData());
        ASSERT_TRUE(file.isValid() && file.ID3v2Tag());
        const auto pictures = file.ID3v2Tag()->frameList("APIC");
        ASSERT_EQ(pictures.size(), 1u) << mp3.toStdString();
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        EXPECT_EQ(QByteArray(picture->picture().data(), int(picture->picture().size())), front);
        EXPECT_EQ(txxx(album + u'/' + mp3, "MusicBrainz Album Id"), s("8c0e5a52-0000-4000-8000-000000000010"));
        EXPECT_EQ(txxx(album + u'/' + mp3, "MusicBrainz Release Group Id"), s("6f2a9c1e-0000-4000-9000-000000000010"));
        EXPECT_FALSE(txxx(album + u'/' + mp3, "MusicBrainz Album Artist Id").isEmpty());
        EXPECT_FALSE(file.ID3v2Tag()->frameList("UFID").isEmpty());
    }
    ASSERT_EQ(archive.requests().size(), 1);
    EXPECT_EQ(musicBrainz.requests().size(), 1);

    // Titles from CDDB: MusicBrainz is asked once, for the release and its cover; with the
    // option off, not at all.
    ASSERT_TRUE(writeTestFile(work.filePath(s("cddb/misc/") + id),
                              "DISCID=" + id.toLatin1() + "\nDTITLE=Band / Known\nTTITLE0=A\nTTITLE1=B\nTTITLE2=C\n"
                                                          "TTITLE3=D\nTTITLE4=E\n"));
    rip(options + QStringList{work.filePath(s("two")), cd});
    EXPECT_EQ(readTestFile(work.filePath(s("two/Band - Known/cover.jpg"))), front);
    EXPECT_EQ(musicBrainz.requests().size(), 2);
    EXPECT_TRUE(txxx(work.filePath(s("two/Band - Known/01 - A.mp3")), "MusicBrainz Album Id").isEmpty());
    rip(options + QStringList{work.filePath(s("three")), s("--no-cover-art"), cd});
    EXPECT_FALSE(QFileInfo::exists(work.filePath(s("three/Band - Known/cover.jpg"))));
    EXPECT_EQ(musicBrainz.requests().size(), 2);
    EXPECT_EQ(archive.requests().size(), 2);
}

// A CD as Linux shows it: a gvfs mount of WAV tracks without a ".TOC.plist", found without naming it,
// identified from the tracks' lengths and titled in every script; and a copied folder of AIFF
// tracks among other files, whose entry the server lists twice.
TEST_F(RipEndToEnd, GvfsMountAndCopiedFolderGetTheTitlesOfTheirLengthsInEveryScript)
{
    const QString home = env.home();
    const QList<qint64> sectors{60, 75, 90, 45};
    // A drive name no machine has: the drive cannot be read and the lengths are used. A mount
    // without tracks (no disc in that drive) is passed over.
    const QString mount = home + u"/gvfs/cdda:host=sr9"_qs;
    const QString copy = home + u"/Copied CD"_qs;
    ASSERT_TRUE(QDir().mkpath(home + u"/gvfs/cdda:host=sr0"_qs) && QDir().mkpath(mount) &&
                QDir().mkpath(copy + u"/scans"_qs));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(writeCDTrack(mount + u"/Track %1.wav"_qs.arg(i + 1), sectors[i] * 588));
        ASSERT_TRUE(writeCDTrack(copy + u"/%1 Audio Track.aiff"_qs.arg(i + 1), sectors[i] * 588, true));
    }
    QFile(copy + u"/cover.jpg"_qs).open(QIODevice::WriteOnly);
    QFile(copy + u"/.directory"_qs).open(QIODevice::WriteOnly);
    const QString id = discIdText(DiscTOC::fromOffsets({150, 210, 285, 375}, 420).cddbDiscId());
    const QByteArray entry = "DISCID=" + id.toLatin1() +
                             "\nDTITLE=DC/AC / Reverse "
                             "Current\nDYEAR=1999\nDGENRE=Jazz/Fusion\nTTITLE0=\xe6\x9d\xb1\xe4\xba\xac / "
                             "\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0\nTTITLE1=Caf\xc3\xa9\n"
                             "TTITLE2=Three\nTTITLE3=Four\n";
    ASSERT_TRUE(writeTestFile(work.filePath(u"cddb/misc/"_qs) + id, entry));
    const QStringList options{u"--id3-tags"_qs, u"--no-musicbrainz"_qs,  u"--server"_qs, address,
                              u"--email"_qs,    u"alice@example.org"_qs, u"--output"_qs};
    // A "/" cannot stand in a file name; the tags keep it.
    const QStringList names{u"東京 - Москва"_qs, u"Café"_qs, u"Three"_qs, u"Four"_qs};
    const QStringList titles{u"東京 / Москва"_qs, u"Café"_qs, u"Three"_qs, u"Four"_qs};

    for (const QString& source : {QString(), copy}) {
        // Two matches and nobody at the terminal: the first listed (misc before rock) is taken.
        if (!source.isEmpty()) {
            ASSERT_TRUE(writeTestFile(work.filePath(u"cddb/rock/"_qs) + id,
                                      QByteArray(entry).replace("Reverse Current", "Other Album")));
        }
        const QString out = home + u"/out"_qs + QString::number(source.size());
        const RipRun run = runVeskRip(options + QStringList{out, source}.filter(u"/"_qs));
        ASSERT_TRUE(exitedSaying(run, 0));
        const QString& err = run.err;
        EXPECT_EQ(err.contains(u"Ripping the audio CD at "_qs + mount), source.isEmpty());
        const QString album = out + u"/DC-AC - Reverse Current"_qs;
        // Standard error says which match was taken, what was found and from which entry, where
        // it goes, and at the end what became of the tracks.
        EXPECT_EQ(err.contains(u"Several discs match; taking the first: DC/AC – Reverse Current (misc)\n"_qs),
                  !source.isEmpty())
            << err.toStdString();
        EXPECT_TRUE(QRegularExpression(u"(^|\n)Found: DC/AC – Reverse Current \\(1999\\), CDDB: misc "_qs +
                                       id + u"\nWriting to "_qs + QRegularExpression::escape(album) +
                                       u"\n"_qs)
                        .match(err)
                        .hasMatch())
            << err.toStdString();
        EXPECT_TRUE(err.endsWith(u"Ripped 4 of 4 tracks into "_qs + album + u".\n"_qs)) << err.toStdString();
        for (int i = 0; i < 4; ++i) {
            const QString path = album + u"/0%1 - %2.mp3"_qs.arg(i + 1).arg(names[i]);
            EXPECT_EQ(id3Summary(path),
                      titles[i] + u"|DC/AC|Reverse Current|Jazz/Fusion|1999|"_qs + QString::number(i + 1));
            TagLib::MPEG::File file(QFile::encodeName(path).constData());
            ASSERT_TRUE(file.isValid() && file.audioProperties()) << path.toStdString();
            EXPECT_NEAR(file.audioProperties()->lengthInMilliseconds(), sectors[i] * 1000 / 75, 60);
        }
        EXPECT_EQ(folderEntries(album).filter(u".mp3"_qs).size(), 4);
    }
    EXPECT_EQ(cddb.receivedLines().value(0), QByteArray("cddb hello alice example.org vesk v0.6.7\n"));

    // A track that is no whole number of sectors sends no query.
    ASSERT_TRUE(writeCDTrack(copy + u"/2 Audio Track.aiff"_qs, 75 * 588 + 1, true));
    EXPECT_TRUE(exitedSaying(runVeskRip(options + QStringList{home + u"/b"_qs, copy}), 0,
                             {u"2 Audio Track.aiff is not a whole number of CD sectors"_qs}));
    EXPECT_EQ(folderEntries(home + u"/b/Artist - Title"_qs).filter(u".mp3"_qs).size(), 4);
    EXPECT_EQ(cddb.connectionCount(), 2);

    QDir(mount).removeRecursively();
    EXPECT_TRUE(exitedSaying(runVeskRip({u"--output"_qs, home}), 2, {u"Could not find an audio CD"_qs}));
}


// The loudness is measured as the tracks are read and written as the ReplayGain frames players
// read, within 0.1 dB of ffmpeg's meter on the same sound; the album's from all of it, in every
// file; none with the option off.
TEST(RipLoudness, ReplayGainFramesAgreeWithAnIndependentMeter)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString source = work.filePath(s("src"));
    QDir().mkpath(source);
    const QStringList files{source + s("/1 Loud.aiff"), source + s("/2 Quiet.wav")};
    for (const auto& [file, synth] : {std::pair{files[0], s("pinknoise vol 0.5")}, std::pair{files[1], s("sine 440 vol 0.1")}}) {
        QProcess sox;
        sox.start(s("sox"), QStringList{s("-n"), s("-r"), s("44100"), s("-c"), s("2"), s("-b"), s("16"), file, s("synth"), s("12")} +
                                synth.split(u' '));
        ASSERT_TRUE(sox.waitForFinished(30000) && sox.exitCode() == 0);
    }
    QProcess join;
    join.start(s("sox"), {files[0], files[1], work.filePath(s("album.wav"))});
    ASSERT_TRUE(join.waitForFinished(30000) && join.exitCode() == 0);

    const RipRun run = runVeskRip({s("--server"), QString(), s("--no-musicbrainz"), s("--id3-tags"), s("--output"),
                                   work.filePath(s("out")), source});
    ASSERT_TRUE(exitedSaying(run, 0, {s("Ripped 2 of 2 tracks")}));
    const QString album = work.filePath(s("out/Artist - Title"));
    const QStringList mp3s = folderEntries(album).filter(s(".mp3"));
    ASSERT_EQ(mp3s.size(), 2);
    const double albumGain = -18.0 - theirLoudness(work.filePath(s("album.wav")));
    for (int i = 0; i < 2; ++i) {
        const QString mp3 = album + u'/' + mp3s[i];
        const QString gain = txxx(mp3, "REPLAYGAIN_TRACK_GAIN");
        ASSERT_TRUE(gain.endsWith(s(" dB"))) << gain.toStdString();
        EXPECT_NEAR(decibels(gain), -18.0 - theirLoudness(files[i]), 0.1) << mp3s[i].toStdString();
        EXPECT_NEAR(decibels(txxx(mp3, "REPLAYGAIN_ALBUM_GAIN")), albumGain, 0.1);
        EXPECT_FALSE(txxx(mp3, "REPLAYGAIN_TRACK_PEAK").isEmpty());
        EXPECT_FALSE(txxx(mp3, "REPLAYGAIN_ALBUM_PEAK").isEmpty());
        // LAME's own frames are still there.
        EXPECT_TRUE(id3Summary(mp3).startsWith(i == 0 ? s("1 Loud|") : s("2 Quiet|"))) << id3Summary(mp3).toStdString();
    }

    const RipRun off = runVeskRip({s("--server"), QString(), s("--no-musicbrainz"), s("--id3-tags"), s("--no-replaygain"),
                                   s("--output"), work.filePath(s("off")), source});
    ASSERT_TRUE(exitedSaying(off, 0));
    const QString offAlbum = work.filePath(s("off/Artist - Title"));
    for (const QString& mp3 : folderEntries(offAlbum).filter(s(".mp3")))
        EXPECT_TRUE(txxx(offAlbum + u'/' + mp3, "REPLAYGAIN_TRACK_GAIN").isEmpty());
}
