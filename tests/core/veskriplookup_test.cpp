// vesk-rip with --server: the titles come from a CDDB server on loopback (port 8880 on an
// address of its own), in any script, and the server's refusal is reported in its own words.
#include "cddbserver.h"
#include "lookup/disctoc.h"
#include "support/testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

namespace {
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// An address of our own, so that port 8880 is free whatever else runs.
QString ownAddress(int variant)
{
    const qint64 pid = QCoreApplication::applicationPid();
    return QStringLiteral("127.%1.%2.%3").arg(variant + 1).arg((pid >> 8) % 250 + 3).arg(pid % 250 + 3);
}
} // namespace

TEST(VeskRipLookup, TitlesInEveryScriptTheFirstOfSeveralMatchesAndARefusedHello)
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
    const QByteArray entry = "DISCID=" + id +
                             "\nDTITLE=DC/AC / Reverse Current\nTTITLE0=\xe6\x9d\xb1\xe4\xba\xac: "
                             "\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0\nTTITLE1=Caf\xc3\xa9\n";
    ASSERT_TRUE(writeFile(work.filePath(QStringLiteral("cddb/misc/") + id), entry));
    CddbServer server(work.filePath(QStringLiteral("cddb")));
    ASSERT_TRUE(server.listen(ownAddress(0), 8880)) << server.errorString().toStdString();
    CddbServer refusing(work.filePath(QStringLiteral("cddb")));
    refusing.answer(QStringLiteral("cddb hello"), "500 Unknown developer email for vesk v0.6.7");
    ASSERT_TRUE(refusing.listen(ownAddress(1), 8880)) << refusing.errorString().toStdString();

    QString errors;
    const auto rip = [&](const QString& address, const QString& out, const QStringList& more = {}) {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"),
                      QStringList{QStringLiteral("--server"), address, QStringLiteral("--no-musicbrainz"),
                                  QStringLiteral("--id3-tags"), QStringLiteral("--output"), out, cd} +
                          more);
        EXPECT_TRUE(process.waitForFinished(180000));
        errors = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
        return QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    };
    const QString albumFolder = QStringLiteral("DC-AC - Reverse Current");
    const QString one = work.filePath(QStringLiteral("one/")) + albumFolder;
    ASSERT_EQ(rip(ownAddress(0), work.filePath(QStringLiteral("one")),
                  {QStringLiteral("--email"), QStringLiteral("alice@example.org")}),
              QStringList{albumFolder});
    const QStringList files{u"01 - 東京- Москва.mp3"_qs, u"02 - Café.mp3"_qs};
    ASSERT_EQ(QDir(one).entryList(QDir::Files, QDir::Name), files);
    TagLib::MPEG::File tagged(QFile::encodeName(one + u'/' + files[0]).constData());
    ASSERT_TRUE(tagged.ID3v2Tag());
    EXPECT_EQ(QString::fromStdString(tagged.ID3v2Tag()->title().to8Bit(true)), u"東京- Москва"_qs);
    EXPECT_EQ(QString::fromStdString(tagged.ID3v2Tag()->artist().to8Bit(true)), u"DC-AC"_qs);
    EXPECT_EQ(server.receivedLines().value(0), QByteArray("cddb hello alice example.org vesk v0.6.7\n"));

    // Two matches and nobody at the terminal: the first listed (misc before rock) is taken.
    ASSERT_TRUE(writeFile(work.filePath(QStringLiteral("cddb/rock/") + id),
                          QByteArray(entry).replace("Reverse Current", "Other Album")));
    EXPECT_EQ(rip(ownAddress(0), work.filePath(QStringLiteral("two"))), QStringList{albumFolder});
    EXPECT_EQ(server.connectionCount(), 2);

    // The server's own words reach the user, and the rip goes on with the file names.
    EXPECT_EQ(rip(ownAddress(1), work.filePath(QStringLiteral("three"))),
              QStringList{QStringLiteral("Artist - Title")});
    EXPECT_TRUE(
        errors.contains(QStringLiteral("The server said: 500 Unknown developer email for vesk v0.6.7")))
        << errors.toStdString();
}
