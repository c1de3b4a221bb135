// vesk-rip asks MusicBrainz (the stand-in on loopback) only for a disc the CDDB server does not
// know: a compilation whose second medium is the disc, tagged with each track's own artists.
#include "cddbserver.h"
#include "musicbrainzserver.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}
} // namespace

TEST(VeskRipMusicBrainz, ADiscOnlyMusicBrainzKnowsIsNamedFromItsRelease)
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
    ASSERT_EQ(QDir(album).entryList(QDir::Files, QDir::Name),
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
