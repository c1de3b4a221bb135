// vesk-rip with a CD as Linux shows it: a gvfs mount of WAV tracks without a ".TOC.plist", found
// without naming it, identified from the tracks' lengths and titled by a CDDB server on loopback;
// and a copied folder of AIFF tracks among other files.
#include "cddbserver.h"
#include "lookup/disctoc.h"
#include "support/testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

namespace {
std::pair<int, QString> veskRip(const QStringList& arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"), arguments);
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QString()};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

QStringList mp3Files(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
}
} // namespace

TEST(VeskRipDisc, GvfsMountAndCopiedFolderGetTheTitlesOfTheirLengths)
{
    TestEnvironment env;
    const QString home = env.home();
    const QList<qint64> sectors{60, 75, 90, 45};
    // A drive name no machine has: the drive cannot be read and the lengths are used. A mount
    // without tracks (no disc in that drive) is passed over.
    const QString mount = home + QStringLiteral("/gvfs/cdda:host=sr9");
    const QString copy = home + QStringLiteral("/Copied CD");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/gvfs/cdda:host=sr0")) && QDir().mkpath(mount) &&
                QDir().mkpath(copy + QStringLiteral("/scans")) &&
                QDir().mkpath(home + QStringLiteral("/cddb/jazz")));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(writeCDTrack(mount + QStringLiteral("/Track %1.wav").arg(i + 1), sectors[i] * 588));
        ASSERT_TRUE(
            writeCDTrack(copy + QStringLiteral("/%1 Audio Track.aiff").arg(i + 1), sectors[i] * 588, true));
    }
    QFile(copy + QStringLiteral("/cover.jpg")).open(QIODevice::WriteOnly);
    QFile(copy + QStringLiteral("/.directory")).open(QIODevice::WriteOnly);
    const QByteArray id = QByteArray::number(DiscTOC::fromOffsets({150, 210, 285, 375}, 420).cddbDiscId(), 16)
                              .rightJustified(8, '0');
    QFile entry(home + QStringLiteral("/cddb/jazz/") + QString::fromLatin1(id));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("DISCID=" + id +
                "\nDTITLE=Gvfs Band / Linux Album\nDYEAR=1999\nTTITLE0=One\nTTITLE1=Two\n"
                "TTITLE2=Three\nTTITLE3=Four\n");
    entry.close();
    CddbServer server(home + QStringLiteral("/cddb"));
    const qint64 pid = QCoreApplication::applicationPid();
    const QString address = QStringLiteral("127.0.%1.%2").arg((pid >> 8) % 250 + 3).arg((pid + 7) % 250 + 3);
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    const QStringList options{QStringLiteral("--id3-tags"), QStringLiteral("--no-musicbrainz"),
                              QStringLiteral("--server"), address, QStringLiteral("--output")};
    const QStringList titles{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"),
                             QStringLiteral("Four")};

    for (const QString& source : {QString(), copy}) {
        const QString out = home + QStringLiteral("/out") + QString::number(source.size());
        const auto [exitCode, err] = veskRip(options + QStringList{out, source}.filter(QStringLiteral("/")));
        ASSERT_EQ(exitCode, 0) << err.toStdString();
        EXPECT_EQ(err.contains(QStringLiteral("Ripping the audio CD at ") + mount), source.isEmpty());
        const QString album = out + QStringLiteral("/Gvfs Band - Linux Album/");
        ASSERT_EQ(mp3Files(album).size(), 4) << err.toStdString();
        for (int i = 0; i < 4; ++i) {
            const QString name = QStringLiteral("0%1 - %2.mp3").arg(i + 1).arg(titles[i]);
            ASSERT_EQ(mp3Files(album)[i], name);
            TagLib::MPEG::File file(QFile::encodeName(album + name).constData());
            ASSERT_TRUE(file.isValid() && file.audioProperties() && file.ID3v2Tag());
            EXPECT_NEAR(file.audioProperties()->lengthInMilliseconds(), sectors[i] * 1000 / 75, 60);
            const TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
            EXPECT_EQ(tag.title().to8Bit(true) + tag.artist().to8Bit(true) + tag.album().to8Bit(true),
                      titles[i].toStdString() + "Gvfs BandLinux Album");
            EXPECT_EQ(tag.track() * 10000 + tag.year(), unsigned(i + 1) * 10000 + 1999);
        }
    }
    // A track that is no whole number of sectors sends no query.
    ASSERT_TRUE(writeCDTrack(copy + QStringLiteral("/2 Audio Track.aiff"), 75 * 588 + 1, true));
    const auto [unknownExit, unknownErr] = veskRip(options + QStringList{home + QStringLiteral("/b"), copy});
    EXPECT_EQ(unknownExit, 0);
    EXPECT_TRUE(
        unknownErr.contains(QStringLiteral("2 Audio Track.aiff is not a whole number of CD sectors")));
    EXPECT_EQ(mp3Files(home + QStringLiteral("/b/Artist - Title")).size(), 4);
    EXPECT_EQ(server.connectionCount(), 2);

    QDir(mount).removeRecursively();
    const auto [noneExit, noneErr] = veskRip({QStringLiteral("--output"), home});
    EXPECT_EQ(noneExit, 2);
    EXPECT_TRUE(noneErr.contains(QStringLiteral("Could not find an audio CD")));
}
