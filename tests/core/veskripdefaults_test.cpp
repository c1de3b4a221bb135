// vesk-rip starts where the window starts: the shipped defaults when the user has no preferences
// file, the desktop's music folder when no output folder is named, and a damaged preferences file
// is kept aside and said once.
#include "support/qstringprinter.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <id3v2tag.h>
#include <mpegfile.h>

class VeskRipDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(cd);
        for (int i = 1; i <= 2; ++i)
            ASSERT_TRUE(makeAiff(cd + u"/%1 Audio Track.aiff"_qs.arg(i), 0.3));
        // The defaults play the finished sound: a stand-in player records it.
        QFile player(m_bin.filePath(u"canberra-gtk-play"_qs));
        ASSERT_TRUE(player.open(QIODevice::WriteOnly) &&
                    player.write("#!/bin/sh\necho \"$@\" >> \"$HOME/played\"\n") > 0 &&
                    player.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // No lookup (so no test reaches a server), and a PATH holding only the sound player.
    RipRun rip(const QStringList& arguments)
    {
        return runVeskRip(QStringList{u"--server="_qs, u"--no-musicbrainz"_qs} + arguments,
                          [this](QProcess& process) {
                              QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                              environment.insert(u"PATH"_qs, m_bin.path());
                              process.setProcessEnvironment(environment);
                          });
    }

    TestEnvironment env;
    QTemporaryDir m_bin;
    QTemporaryDir m_work;
    const QString cd = m_work.filePath(u"cd"_qs);
};

TEST_F(VeskRipDefaultsTest, WithoutPreferencesTheShippedDefaultsRipIntoTheDesktopsMusicFolder)
{
    ASSERT_TRUE(writeTestFile(env.home() + u"/.config/user-dirs.dirs"_qs,
                              "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n"));
    const RipRun help = runVeskRip({u"--help"_qs});
    EXPECT_TRUE(help.out.contains(u"XDG_MUSIC_DIR"_qs) && help.out.contains(env.home() + u"/Musik"_qs))
        << help.out.toStdString();

    const RipRun run = rip({cd});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString album = env.home() + u"/Musik/Artist - Title"_qs;
    EXPECT_EQ(folderEntries(album), QStringList({u"00-Artist-Title.m3u"_qs, u"00-Artist-Title.sfv"_qs,
                                                 u"01 -  Audio Track.mp3"_qs, u"02 -  Audio Track.mp3"_qs}));
    TagLib::MPEG::File file(QFile::encodeName(album + u"/02 -  Audio Track.mp3"_qs).constData());
    ASSERT_TRUE(file.isValid() && file.ID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->track(), 2u);
    EXPECT_TRUE(
        waitUntil([&] { return readTestFile(env.home() + u"/played"_qs).contains("complete"); }, 10000));
    // vesk-rip reads the preferences, never writes them.
    EXPECT_FALSE(QFileInfo::exists(env.home() + u"/.config/org.vesk.Vesk.plist"_qs));

    // --output still wins.
    const QString out = m_work.filePath(u"out"_qs);
    ASSERT_EQ(rip({u"--output"_qs, out, cd}).exitCode, 0);
    EXPECT_EQ(folderEntries(out), QStringList{u"Artist - Title"_qs});
}

TEST_F(VeskRipDefaultsTest, ADamagedPreferencesFileIsKeptAsideAndSaidOnce)
{
    const QString path = env.home() + u"/.config/org.vesk.Vesk.plist"_qs;
    const QByteArray damaged =
        "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n<dict>\n\t<key>OutputDirectory</key>\n"
        "\t<string>/home/u/out10</str\xff\xfe";
    ASSERT_TRUE(writeTestFile(path, damaged));
    const QString out = m_work.filePath(u"out"_qs);
    for (int run = 0; run < 2; ++run) {
        const RipRun result = rip({u"--output"_qs, out, cd});
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(result.err.count(path + u" could not be read; its contents are kept in "_qs + path +
                                   u".damaged."_qs),
                  1)
            << result.err.toStdString();
        EXPECT_EQ(readTestFile(path + u".damaged"_qs), damaged);
        EXPECT_EQ(readTestFile(path), damaged);
        // The same damaged file read again is already kept: no second copy.
        EXPECT_EQ(QDir(env.home() + u"/.config"_qs).entryList(QDir::Files).size(), 2);
    }
    // The defaults applied: release files beside the tracks.
    EXPECT_TRUE(folderEntries(out + u"/Artist - Title"_qs).contains(u"00-Artist-Title.sfv"_qs));
}
