// vesk-rip with a CD as Linux shows it: a gvfs mount of WAV tracks without a ".TOC.plist", found
// without naming it, identified from the tracks' lengths and titled in every script by a CDDB
// server on loopback (port 8880 on an address of its own); and a copied folder of AIFF tracks among
// other files, whose entry the server lists twice.
#include "cddbserver.h"
#include "disc/disctoc.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <mpegfile.h>

TEST(VeskRipDisc, GvfsMountAndCopiedFolderGetTheTitlesOfTheirLengthsInEveryScript)
{
    TestEnvironment env;
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
    ASSERT_TRUE(writeTestFile(home + u"/cddb/misc/"_qs + id, entry));
    CddbServer server(home + u"/cddb"_qs);
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    const QStringList options{u"--id3-tags"_qs, u"--no-musicbrainz"_qs,  u"--server"_qs, address,
                              u"--email"_qs,    u"alice@example.org"_qs, u"--output"_qs};
    // A "/" cannot stand in a file name; the tags keep it.
    const QStringList names{u"東京 - Москва"_qs, u"Café"_qs, u"Three"_qs, u"Four"_qs};
    const QStringList titles{u"東京 / Москва"_qs, u"Café"_qs, u"Three"_qs, u"Four"_qs};

    for (const QString& source : {QString(), copy}) {
        // Two matches and nobody at the terminal: the first listed (misc before rock) is taken.
        if (!source.isEmpty()) {
            ASSERT_TRUE(writeTestFile(home + u"/cddb/rock/"_qs + id,
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
    EXPECT_EQ(server.receivedLines().value(0), QByteArray("cddb hello alice example.org vesk v0.6.7\n"));

    // A track that is no whole number of sectors sends no query.
    ASSERT_TRUE(writeCDTrack(copy + u"/2 Audio Track.aiff"_qs, 75 * 588 + 1, true));
    EXPECT_TRUE(exitedSaying(runVeskRip(options + QStringList{home + u"/b"_qs, copy}), 0,
                             {u"2 Audio Track.aiff is not a whole number of CD sectors"_qs}));
    EXPECT_EQ(folderEntries(home + u"/b/Artist - Title"_qs).filter(u".mp3"_qs).size(), 4);
    EXPECT_EQ(server.connectionCount(), 2);

    QDir(mount).removeRecursively();
    EXPECT_TRUE(exitedSaying(runVeskRip({u"--output"_qs, home}), 2, {u"Could not find an audio CD"_qs}));
}
