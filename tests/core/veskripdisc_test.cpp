// vesk-rip with a CD as Linux shows it: a gvfs mount of WAV tracks without a ".TOC.plist", found
// without naming it, identified from the tracks' lengths and titled by a CDDB server on loopback.
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
struct RipRun {
    int exitCode = -1;
    QString err;
};

RipRun veskRip(const QStringList& arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"), arguments);
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit)
        return {};
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
    // A drive name no machine has, so the drive cannot be read and the lengths are used.
    const QString mount = home + QStringLiteral("/gvfs/cdda:host=sr9");
    const QString copy = home + QStringLiteral("/Copied CD");
    ASSERT_TRUE(QDir().mkpath(mount) && QDir().mkpath(copy + QStringLiteral("/scans")));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(writeCDTrack(mount + QStringLiteral("/Track %1.wav").arg(i + 1), sectors[i] * 588));
        ASSERT_TRUE(
            writeCDTrack(copy + QStringLiteral("/%1 Audio Track.aiff").arg(i + 1), sectors[i] * 588, true));
    }
    for (const char* other : {"/cover.jpg", "/.directory"})
        QFile(copy + QLatin1String(other)).open(QIODevice::WriteOnly);

    const QString id = QStringLiteral("%1").arg(DiscTOC::fromOffsets({150, 210, 285, 375}, 420).cddbDiscId(),
                                                8, 16, QLatin1Char('0'));
    QDir().mkpath(home + QStringLiteral("/cddb/jazz"));
    QFile entry(home + QStringLiteral("/cddb/jazz/") + id);
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("DISCID=" + id.toLatin1() +
                "\nDTITLE=Gvfs Band / Linux Album\nDYEAR=1999\nDGENRE=Jazz\nTTITLE0=One\nTTITLE1=Two\n"
                "TTITLE2=Three\nTTITLE3=Four\n");
    entry.close();
    CddbServer server(home + QStringLiteral("/cddb"));
    const qint64 pid = QCoreApplication::applicationPid();
    const QString address = QStringLiteral("127.0.%1.%2").arg((pid >> 8) % 250 + 3).arg((pid + 7) % 250 + 3);
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    const QStringList options{QStringLiteral("--id3-tags"), QStringLiteral("--server"), address};
    const QStringList titles{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"),
                             QStringLiteral("Four")};

    for (const QString& source : {QString(), copy}) {
        SCOPED_TRACE(source.toStdString());
        const QString out = home + QStringLiteral("/out") + QString::number(source.size());
        const RipRun run = veskRip(options + QStringList{QStringLiteral("--output"), out} +
                                   (source.isEmpty() ? QStringList() : QStringList{source}));
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.err.contains(QStringLiteral("Ripping the audio CD at ") + mount), source.isEmpty());
        const QString album = out + QStringLiteral("/Gvfs Band - Linux Album/");
        ASSERT_EQ(mp3Files(album).size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QString name = QStringLiteral("0%1 - %2.mp3").arg(i + 1).arg(titles[i]);
            ASSERT_EQ(mp3Files(album)[i], name);
            TagLib::MPEG::File file(QFile::encodeName(album + name).constData());
            ASSERT_TRUE(file.isValid() && file.audioProperties() && file.ID3v2Tag());
            EXPECT_NEAR(file.audioProperties()->lengthInMilliseconds(), sectors[i] * 1000 / 75, 60);
            EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), titles[i].toStdString());
            EXPECT_EQ(file.ID3v2Tag()->artist().to8Bit(true), "Gvfs Band");
            EXPECT_EQ(file.ID3v2Tag()->album().to8Bit(true), "Linux Album");
            EXPECT_EQ(file.ID3v2Tag()->track(), unsigned(i + 1));
            EXPECT_EQ(file.ID3v2Tag()->year(), 1999u);
        }
    }
    EXPECT_EQ(server.connectionCount(), 2);

    // A track that is no whole number of sectors sends no query; an empty one is still ripped.
    ASSERT_TRUE(writeCDTrack(copy + QStringLiteral("/2 Audio Track.aiff"), 75 * 588 + 1, true));
    QFile(copy + QStringLiteral("/5 Audio Track.wav")).open(QIODevice::WriteOnly);
    const RipRun unknown =
        veskRip(options + QStringList{QStringLiteral("--output"), home + QStringLiteral("/b"), copy});
    EXPECT_EQ(unknown.exitCode, 0) << unknown.err.toStdString();
    EXPECT_TRUE(
        unknown.err.contains(QStringLiteral("2 Audio Track.aiff is not a whole number of CD sectors")));
    EXPECT_EQ(mp3Files(home + QStringLiteral("/b/Artist - Title")).size(), 5);
    EXPECT_EQ(server.connectionCount(), 2);

    QDir(mount).removeRecursively();
    const RipRun none = veskRip(options);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.err.contains(QStringLiteral("Could not find an audio CD")));
}
