// vesk-rip with the real encoder and titles from our CDDB and MusicBrainz servers on loopback: what
// hostile entries and a C locale do to the files and their tags, and where a disc's titles come from.
#include "cddbserver.h"
#include "musicbrainzserver.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

// One encoder and two make the same files; the release files list them in track order.
TEST(RipEndToEnd, HostileEntryUnderTheCLocaleKeepsEveryTitleAndEveryFileInside)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString cd = work.filePath(s("cd"));
    const QString longTitle = QString(150, QChar(0xe9)); // 300 bytes of UTF-8
    const QStringList titles{s("Naïve"),          s("Côte d'Azur"), s(".."),
                             s("Live 100%2 mix"), longTitle,        s("Esc\x1b[2Jape")};
    QList<qint64> offsets;
    for (int i = 0; i < titles.size(); ++i)
        offsets << 150 + 75 * i;
    const QString id = makeTocDisc(cd, offsets, 150 + 75 * titles.size());
    QByteArray entry = "DISCID=" + id.toLatin1() + "\nDTITLE=.. / Ünder the Lïght\nDYEAR=2001\nDGENRE=1999\n";
    for (int i = 0; i < titles.size(); ++i)
        entry += "TTITLE" + QByteArray::number(i) + "=" + titles[i].toUtf8() + "\n";
    ASSERT_TRUE(writeTestFile(work.filePath(s("cddb/misc/") + id), entry));
    CddbServer server(work.filePath(s("cddb")));
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
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
        const RipRun rip =
            runVeskRip({s("--server"), address, s("--no-musicbrainz"), s("--output"), out, s("--jobs"), jobs,
                        s("--id3-tags"), s("--artist-album-dirs"), s("--release-files"), cd},
                       [](QProcess& process) {
                           QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                           environment.insert(s("LC_ALL"), s("C"));
                           process.setProcessEnvironment(environment);
                       });
        const QString& err = rip.err;
        const QString& said = rip.out;
        ASSERT_EQ(rip.exitCode, 0) << err.toStdString();
        // Every track encoded despite the genre LAME refuses, which is left out and reported once.
        EXPECT_EQ(err.count(s("knows no genre \"1999\"")), 1) << err.toStdString();
        // One exact line per track, also with two encoders at once.
        EXPECT_TRUE(said.split(u'\n').contains(s("Processing: Live 100%2 mix     (4 of 6)")))
            << said.toStdString();
        EXPECT_FALSE(said.contains(s("dB"))) << said.toStdString();

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
            TagLib::MPEG::File file(QFile::encodeName(folder + u'/' + names[i + 2]).constData());
            ASSERT_TRUE(file.isValid() && file.ID3v2Tag()) << i;
            const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
            // The entry's control character is dropped when the entry is read.
            EXPECT_EQ(QString::fromStdString(tag->title().to8Bit(true)),
                      QString(titles[i]).remove(QChar(0x1b)));
            EXPECT_EQ(QString::fromStdString(tag->album().to8Bit(true)), s("Ünder the Lïght"));
            EXPECT_EQ(QString::fromStdString(tag->artist().to8Bit(true)), s(".."));
            EXPECT_EQ(tag->genre().to8Bit(true), "");
            EXPECT_EQ(tag->year(), 2001u);
        }
    }
    EXPECT_EQ(folderEntries(work.path()), QStringList({s("cd"), s("cddb"), s("out1"), s("out2")}));
}

// MusicBrainz (the stand-in on loopback) is asked only for a disc the CDDB server does not know:
// a compilation whose second medium is the disc, tagged with each track's own artists.
TEST(RipEndToEnd, ADiscOnlyMusicBrainzKnowsIsNamedFromItsRelease)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString cd = work.filePath(s("cd"));
    const QString id = makeTocDisc(cd, {150, 20000, 40000}, 60000);
    ASSERT_FALSE(id.isEmpty());
    QDir().mkpath(work.filePath(s("mb")));
    QDir().mkpath(work.filePath(s("cddb/misc")));
    ASSERT_TRUE(QFile::copy(s(VESK_TEST_DATA_DIR "/musicbrainz/compilation-second-disc.json"),
                            work.filePath(s("mb/fBjpGnkUEx.Q9RI738jCR7WxqxI-.json"))));
    const QString address = ownLoopbackAddress();
    CddbServer cddb(work.filePath(s("cddb")));
    ASSERT_TRUE(cddb.listen(address, 8880)) << cddb.errorString().toStdString();
    MusicBrainzServer musicBrainz(work.filePath(s("mb")));
    ASSERT_TRUE(musicBrainz.listen(address));

    const auto rip = [&](const QString& out) {
        const RipRun run = runVeskRip({s("--id3-tags"), s("--server"), address, s("--musicbrainz-url"),
                                       musicBrainz.rootUrl(), s("--output"), out, cd});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    };
    rip(work.filePath(s("one")));
    const QString album = work.filePath(s("one/Various Artists - Песни года- Часть 2-2"));
    ASSERT_EQ(QDir(album).entryList({s("*.mp3")}, QDir::Files, QDir::Name),
              QStringList({s("01 - Весна.mp3"), s("02 - Лето- ремикс.mp3"), s("03 - Ночь-День.mp3")}));
    TagLib::MPEG::File first(QFile::encodeName(album + s("/01 - Весна.mp3")).constData());
    ASSERT_TRUE(first.ID3v2Tag());
    EXPECT_EQ(first.ID3v2Tag()->artist().to8Bit(true), "Иван Петров feat. Мария");
    ASSERT_EQ(musicBrainz.requests().size(), 1);
    EXPECT_EQ(musicBrainz.requests()[0].target,
              "/ws/2/discid/fBjpGnkUEx.Q9RI738jCR7WxqxI-?toc=1+3+60000+150+20000+40000"
              "&inc=recordings+artist-credits&fmt=json");
    const QByteArray agent = musicBrainz.requests()[0].userAgent;
    EXPECT_TRUE(agent.startsWith("Vesk/") && agent.contains(" ( ") && agent.endsWith(" )")) << agent.data();

    // Once the CDDB server knows the disc, MusicBrainz is not asked.
    ASSERT_TRUE(writeTestFile(work.filePath(s("cddb/misc/") + id),
                              "DISCID=" + id.toLatin1() +
                                  "\nDTITLE=Band / Known\nTTITLE0=A\nTTITLE1=B\nTTITLE2=C\n"));
    rip(work.filePath(s("two")));
    EXPECT_TRUE(QDir(work.filePath(s("two/Band - Known"))).exists());
    EXPECT_EQ(musicBrainz.requests().size(), 1);
}
