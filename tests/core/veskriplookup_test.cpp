// vesk-rip with --server: the titles come from a CDDB server on loopback (port 8880 on an
// address of its own), several matches without a terminal take the first.
#include "cddbserver.h"
#include "lookup/disctoc.h"
#include "support/testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

TEST(VeskRipLookup, TitlesComeFromTheServerAndTheFirstOfSeveralMatchesIsTaken)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString cd = work.filePath(QStringLiteral("cd"));
    QDir().mkpath(cd);
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(makeAiff(cd + QStringLiteral("/%1 Audio Track.aiff").arg(i), 0.5));
    ASSERT_TRUE(
        writeFile(cd + QStringLiteral("/.TOC.plist"),
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Sessions</key><array><dict>"
                  "<key>Leadout Block</key><integer>300</integer><key>Track Array</key><array>"
                  "<dict><key>Start Block</key><integer>150</integer></dict>"
                  "<dict><key>Start Block</key><integer>225</integer></dict>"
                  "</array></dict></array></dict></plist>"));
    const QByteArray id =
        QStringLiteral("%1")
            .arg(DiscTOC::fromOffsets({150, 225}, 300).cddbDiscId(), 8, 16, QLatin1Char('0'))
            .toLatin1();
    const QByteArray entry =
        "DISCID=" + id + "\nDTITLE=Loop Band / Loop Album\nTTITLE0=Hello: World\nTTITLE1=Goodbye\n";
    ASSERT_TRUE(writeFile(work.filePath(QStringLiteral("cddb/misc/") + id), entry));

    // An address of our own so that port 8880 is free whatever else runs.
    CddbServer server(work.filePath(QStringLiteral("cddb")));
    const qint64 pid = QCoreApplication::applicationPid();
    const QString address = QStringLiteral("127.0.%1.%2").arg((pid >> 8) % 250 + 3).arg(pid % 250 + 3);
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();

    const auto rip = [&](const QString& out) {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"),
                      {QStringLiteral("--server"), address, QStringLiteral("--output"), out, cd});
        EXPECT_TRUE(process.waitForFinished(180000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    };
    const QString albumFolder = QStringLiteral("Loop Band - Loop Album");
    ASSERT_EQ(rip(work.filePath(QStringLiteral("one"))), QStringList{albumFolder});
    EXPECT_EQ(QDir(work.filePath(QStringLiteral("one/")) + albumFolder).entryList(QDir::Files, QDir::Name),
              QStringList({QStringLiteral("01 - Hello- World.mp3"), QStringLiteral("02 - Goodbye.mp3")}));

    ASSERT_TRUE(writeFile(work.filePath(QStringLiteral("cddb/rock/") + id),
                          QByteArray(entry).replace("Loop Album", "Other Album")));
    const QStringList two = rip(work.filePath(QStringLiteral("two")));
    ASSERT_EQ(two.size(), 1);
    EXPECT_TRUE(two[0] == albumFolder || two[0] == QStringLiteral("Loop Band - Other Album"));
    EXPECT_EQ(server.connectionCount(), 2);
}
