// What a music library reads from Vesk's files (titles exactly as the entry gives them), ripped by vesk-rip
// with the real encoder from a disc a CDDB server on loopback knows, read back with TagLib: the album artist,
// "n/N" track numbers, an ID3v1 tag only where every value fits it, no empty frames; and the encoder's own
// words when it refuses to run.
#include "cddbserver.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

TEST(LibraryTags, AlbumArtistCountsAndID3v1OnlyWhereTheValuesFit)
{
    TestEnvironment env;
    const QString home = env.home();
    const QString cd = home + u"/cd"_qs;
    const QString id = makeTocDisc(cd, {150, 300, 450}, 600);
    ASSERT_FALSE(id.isEmpty());
    ASSERT_TRUE(writeTestFile(home + u"/cddb/jazz/"_qs + id,
                              "DTITLE=Holdout Quartet / Live: 2003\nDYEAR=2003\nDGENRE=Jazz/Fusion\n"
                              "TTITLE0=\xe5\xa4\x9c\xe6\x98\x8e\xe3\x81\x91\nTTITLE1=Blue/Green\n"
                              "TTITLE2=Hip-Hop Hooray\n"));
    CddbServer server(home + u"/cddb"_qs);
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    const QString out = home + u"/out"_qs;
    const RipRun run = runVeskRip(
        {u"--server"_qs, address, u"--no-musicbrainz"_qs, u"--id3-tags"_qs, u"--output"_qs, out, cd});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    // "/" and ":" become "-" in names only.
    const QString album = out + u"/Holdout Quartet - Live- 2003/"_qs;
    const QStringList files = QDir(album).entryList({u"*.mp3"_qs}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3) << QDir(album).entryList().join(u' ').toStdString();
    for (int i = 0; i < 3; ++i) {
        TagLib::MPEG::File file(QFile::encodeName(album + files[i]).constData());
        ASSERT_TRUE(file.isValid() && file.hasID3v2Tag()) << files[i].toStdString();
        TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
        const auto frame = [&tag](const char* id) {
            const TagLib::ID3v2::FrameList frames = tag.frameListMap()[id];
            return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
        };
        const char* titles[] = {"\xe5\xa4\x9c\xe6\x98\x8e\xe3\x81\x91", "Blue/Green", "Hip-Hop Hooray"};
        EXPECT_EQ(frame("TIT2") + '|' + frame("TPE1") + '|' + frame("TALB") + '|' + frame("TCON"),
                  std::string(titles[i]) + "|Holdout Quartet|Live: 2003|Jazz/Fusion");
        EXPECT_EQ(frame("TPE2"), "Holdout Quartet");
        EXPECT_EQ(frame("TRCK"), std::to_string(i + 1) + "/3");
        EXPECT_EQ(frame("COMM"), "");
        for (const TagLib::ID3v2::Frame* each : tag.frameList())
            EXPECT_FALSE(each->toString().isEmpty()) << each->frameID().data();
        // The Japanese title would be "???" in ID3v1: that tag is left out there only.
        EXPECT_EQ(file.hasID3v1Tag(), i != 0) << files[i].toStdString();
    }
    EXPECT_EQ(QDir(album).entryList(QDir::Hidden | QDir::Files).filter(u".part"_qs), QStringList());

    // An encoder that refuses its options says why, and its words reach the report.
    const RipRun refused = runVeskRip({u"--server="_qs, u"--no-musicbrainz"_qs, u"--expert"_qs,
                                       u"--nohist --no-such-option"_qs, u"--output"_qs, home + u"/x"_qs, cd});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(u"unrecognized option --no-such-option"_qs))
        << refused.err.toStdString();
}

// A title far longer than one command-line argument may be is cut to what a tag takes, with one
// log line: every track is ripped.
TEST(LibraryTags, AnEnormousTitleIsCutNotFatal)
{
    TestEnvironment env;
    const QString home = env.home();
    const QString cd = home + u"/cd"_qs;
    const QString id = makeTocDisc(cd, {150, 300}, 450);
    ASSERT_TRUE(writeTestFile(home + u"/cddb/misc/"_qs + id,
                              "DTITLE=Band / " + QByteArray(140000, 'x') + "\nTTITLE0=One\nTTITLE1=Two\n"));
    CddbServer server(home + u"/cddb"_qs);
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    const RipRun run = runVeskRip({u"--server"_qs, address, u"--no-musicbrainz"_qs, u"--id3-tags"_qs,
                                   u"--output"_qs, home + u"/out"_qs, cd});
    ASSERT_EQ(run.exitCode, 0) << run.err.left(2000).toStdString();
    EXPECT_EQ(run.err.count(u"is cut to what a tag can take"_qs), 1);
    const QStringList albums = QDir(home + u"/out"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(albums.size(), 1);
    const QString album = home + u"/out/"_qs + albums[0] + u'/';
    const QStringList files = QDir(album).entryList({u"*.mp3"_qs}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    TagLib::MPEG::File file(QFile::encodeName(album + files[0]).constData());
    ASSERT_TRUE(file.isValid() && file.hasID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->album().size(), 16u * 1024);
}
