#include "cddbserver.h"
#include "encoder/lame/lameencoder.h"
#include "settings/preferences.h"
#include "support/fakeencoder.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Every run names its lookup (none) so that no test reaches a server on the internet.
RipRun veskRip(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {})
{
    return runVeskRip(QStringList{u"--server="_qs, u"--no-musicbrainz"_qs} + arguments, prepare);
}

// Reads what a terminal shows into shown for up to milliseconds, or until it shows until.
void readTerminal(int terminal, QByteArray& shown, int milliseconds, const QByteArray& until = {})
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds && (until.isEmpty() || !shown.contains(until))) {
        pollfd wanted{terminal, POLLIN, 0};
        if (::poll(&wanted, 1, 50) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0)
            return; // the program has ended and closed the terminal
        shown.append(buffer, got);
    }
}
} // namespace

class VeskRipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(cd);
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(makeAiff(cd + u"/%1 Audio Track.aiff"_qs.arg(i), 0.5, 200 + 100 * i));
    }

    TestEnvironment env;
    QTemporaryDir m_work;
    const QString cd = m_work.filePath(u"cd"_qs);
    const QString out = m_work.filePath(u"out"_qs);
};

// vesk-rip starts where the window starts: a damaged preferences file is kept aside and said once
// (and never written over), the shipped defaults apply (tags, release files, the sound through a
// console player on the PATH) and albums go into the desktop's music folder.
TEST_F(VeskRipTest, ADamagedPreferencesFileGivesTheDefaultsAndTheDesktopsMusicFolder)
{
    const QString preferences = env.home() + u"/.config/org.vesk.Vesk.plist"_qs;
    const QByteArray damaged =
        "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n<dict>\n\t<key>OutputDirectory"
        "</key>\n\t<string>/home/u/out10</str\xff\xfe";
    ASSERT_TRUE(writeTestFile(preferences, damaged) &&
                writeTestFile(env.home() + u"/.config/user-dirs.dirs"_qs,
                              "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n"));
    const QString help = runVeskRip({u"--help"_qs}).out;
    EXPECT_TRUE(help.contains(u"XDG_MUSIC_DIR"_qs) && help.contains(env.home() + u"/Musik"_qs))
        << help.toStdString();
    QTemporaryDir bin;
    const QString played = bin.filePath(u"played"_qs);
    ASSERT_TRUE(writeScript(bin.filePath(u"canberra-gtk-play"_qs),
                            "#!/bin/sh\necho \"$@\" > '" + QFile::encodeName(played) + "'\n"));
    const RipRun run = veskRip({cd}, withEnvironment(u"PATH"_qs, bin.path()));
    // Standard error says what was found, where it goes and, at the end, what became of it.
    const QString folder = env.home() + u"/Musik/Artist - Title"_qs;
    ASSERT_TRUE(
        exitedSaying(run, 0,
                     {u"The disc was not identified; the titles come from the file names.\nWriting to "_qs +
                      folder + u'\n'}));
    EXPECT_TRUE(run.err.endsWith(u"Ripped 5 of 5 tracks into "_qs + folder + u".\n"_qs))
        << run.err.toStdString();
    EXPECT_EQ(run.err.count(preferences + u" could not be read; its contents are kept in "_qs + preferences +
                            u".damaged."_qs),
              1);
    EXPECT_EQ(readTestFile(preferences + u".damaged"_qs), damaged);
    EXPECT_EQ(readTestFile(preferences), damaged);
    QStringList names{u"00-Artist-Title.m3u"_qs, u"00-Artist-Title.sfv"_qs};
    for (int i = 1; i <= 5; ++i)
        names << u"0%1 -  Audio Track.mp3"_qs.arg(i);
    ASSERT_EQ(folderEntries(folder), names);
    // Nobody identified the disc: its tags state nothing beyond the file's title and number.
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(id3Summary(folder + u'/' + names[i + 1]), u"%1 Audio Track||||0|%1"_qs.arg(i));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(played).size() > 0; }));
    EXPECT_TRUE(readTestFile(played).contains("--id=complete"));
}

// vesk-rip starts from a preferences file (the user's own by default); the command line
// overrides. A "~" never gives a folder relative to wherever vesk-rip runs.
TEST_F(VeskRipTest, PreferencesOverridesAndFoldersNumberedWhenTakenOrUnderHome)
{
    const QVariantMap preferences{{u"OutputDirectory"_qs, out},
                                  {u"CreateReleaseFiles"_qs, 1},
                                  {u"BasicConfigOption"_qs, u"--nohist --preset medium"_qs}};
    const QStringList track{u"--artist-album-dirs"_qs, u"--name-style"_qs,
                            u"%a-%l-%d.mp3"_qs,        u"--track"_qs,
                            u"2 Audio Track.aiff"_qs,  cd};
    const QString named = m_work.filePath(u"rip.plist"_qs);
    ASSERT_TRUE(Preferences::writeDictionary(preferences, named));
    ASSERT_TRUE(exitedSaying(veskRip(QStringList{u"--preferences"_qs, named} + track), 0));
    EXPECT_EQ(
        folderEntries(out + u"/Artist/Title"_qs),
        QStringList({u"00-Artist-Title.m3u"_qs, u"00-Artist-Title.sfv"_qs, u"Artist Name-Title-02.mp3"_qs}));

    ASSERT_TRUE(Preferences::writeDictionary(preferences, Preferences::preferencesPath()));
    ASSERT_TRUE(exitedSaying(veskRip(QStringList{u"--set"_qs, u"CreateReleaseFiles=0"_qs} + track), 0));
    EXPECT_EQ(folderEntries(out + u"/Artist"_qs), QStringList({u"Title"_qs, u"Title 1"_qs}));
    EXPECT_EQ(folderEntries(out + u"/Artist/Title 1"_qs), QStringList{u"Artist Name-Title-02.mp3"_qs});

    const auto inWork = [&](QProcess& process) { process.setWorkingDirectory(m_work.path()); };
    ASSERT_TRUE(exitedSaying(veskRip({u"--output=~/rips"_qs, u"--track"_qs, u"1"_qs, cd}, inWork), 0));
    EXPECT_TRUE(
        folderEntries(QDir::homePath() + u"/rips/Artist - Title"_qs).contains(u"01 -  Audio Track.mp3"_qs));
    EXPECT_TRUE(exitedSaying(veskRip({u"--preferences"_qs, m_work.filePath(u"none.plist"_qs), cd}), 2,
                             {u"Cannot read the preferences file"_qs}));
}

TEST_F(VeskRipTest, FailuresAndBadCommandLinesExitNonZero)
{
    QTemporaryDir resources;
    ASSERT_TRUE(writeFakeEncoder(resources.path()));
    QFile::rename(cd + u"/4 Audio Track.aiff"_qs, cd + u"/4 Fail Track.aiff"_qs);
    // Without a sound player a log line says why nothing is heard.
    EXPECT_TRUE(
        exitedSaying(veskRip({u"--resources"_qs, resources.path(), u"--sound"_qs, u"--output"_qs, out, cd},
                             withEnvironment(u"PATH"_qs, out)),
                     1,
                     {u"Ripped 4 of 5 tracks (1 failed) into "_qs + out +
                          u"/Artist - Title.\n  Track 4, 4 Fail Track (04 -  Fail Track.mp3), failed: "
                          u"the encoder exited with status 2: Could not read "_qs,
                      u"no sound played"_qs}));
    QTemporaryDir empty;
    const RipRun missing = veskRip({u"--resources"_qs, empty.path(), u"--output"_qs, out, cd},
                                   withEnvironment(u"PATH"_qs, empty.path()));
    EXPECT_TRUE(exitedSaying(missing, 1, {u"install the lame package (for example: apt install lame)"_qs}));
    EXPECT_FALSE(missing.out.contains(u"Processing"_qs));
    // The real encoder refusing its options says why, and its words reach the report.
    EXPECT_TRUE(
        exitedSaying(veskRip({u"--expert"_qs, u"--nohist --no-such-option"_qs, u"--output"_qs, out, cd}), 1,
                     {u"unrecognized option --no-such-option"_qs}));
    for (const QStringList& bad : {QStringList{u"--preset"_qs, u"nonsense"_qs, cd},
                                   {out + u"/no such folder"_qs},
                                   {u"--set"_qs, u"NoSuchKey=1"_qs, cd},
                                   {u"--set"_qs, u"AddID3Tags=perhaps"_qs, cd},
                                   {u"--read-offset"_qs, u"3001"_qs, cd},
                                   {u"--set"_qs, u"ReadOffset=-3001"_qs, cd}})
        EXPECT_TRUE(exitedSaying(veskRip(bad), 2)) << bad.join(u' ').toStdString();

    // A chosen track that is not one of the folder's, by number or by name, is refused before
    // the server is asked or any folder made; one that is there may be chosen by its number.
    CddbServer server(m_work.filePath(u"cddb"_qs));
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    const QString unmade = m_work.filePath(u"unmade"_qs);
    for (const auto& [track, said] :
         {std::pair{u"9"_qs, cd + u" has no track 9; its tracks are 1 Audio Track.aiff, "_qs},
          {u"9 No Such Track.aiff"_qs, cd + u" has no track file named \"9 No Such Track.aiff\";"_qs},
          {u"../cd/2 Audio Track.aiff"_qs, u" has no track file named \"../cd/2 Audio Track.aiff\""_qs}})
        EXPECT_TRUE(exitedSaying(runVeskRip({u"--server"_qs, address, u"--track"_qs, u"1"_qs, u"--track"_qs,
                                             track, u"--output"_qs, unmade, cd}),
                                 2, {u"vesk-rip: --track "_qs + track + u": "_qs, said}));
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(unmade));
    ASSERT_TRUE(exitedSaying(veskRip({u"--track"_qs, u"3"_qs, u"--output"_qs, unmade, cd}), 0));
    EXPECT_EQ(folderEntries(unmade + u"/Artist - Title"_qs).filter(u".mp3"_qs),
              QStringList{u"03 -  Audio Track.mp3"_qs});

    const RipRun version = runVeskRip({u"--version"_qs});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, u"vesk-rip " VESK_VERSION "\n"_qs);
    EXPECT_TRUE(runVeskRip({u"--help"_qs}).out.contains(u"--version"_qs));
}

// A signal stops the rip as the window's Stop does: the encoder ends at once, the release files
// cover what is done, one line says so and the status tells the shell which signal it was.
TEST_F(VeskRipTest, SignalsStopTheRipLikeTheStopButton)
{
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        // The real encoder, except that track 2 writes the start of its file and hangs.
        QTemporaryDir resources;
        const QString pidFile = resources.filePath(u"pid"_qs);
        ASSERT_TRUE(
            writeScript(resources.filePath(LameEncoder::resourceName()),
                        u"#!/bin/sh\ncase \"$*\" in *'2 Audio Track'*) for a; do last=$a; done; echo "
                        "partial > \"$last\"; echo $$ > '%1'; exec sleep 600;; esac\nexec '%2' \"$@\"\n"_qs
                            .arg(pidFile, LameEncoder::resourcePath())
                            .toUtf8()));
        const QString output = m_work.filePath(QString::number(signalNumber));
        pid_t encoder = 0;
        // One encoder at a time: track 1 is done when track 2 starts.
        const RipRun run =
            veskRip({u"--resources"_qs, resources.path(), u"--jobs"_qs, u"1"_qs, u"--release-files"_qs,
                     u"-o"_qs, output, cd},
                    [&](QProcess& process) {
                        process.start();
                        QFile pid(pidFile);
                        EXPECT_TRUE(waitUntil(
                            [&] { return QFileInfo(pidFile).size() > 0 && pid.open(QIODevice::ReadOnly); }));
                        encoder = pid_t(pid.readAll().trimmed().toLongLong());
                        ::kill(pid_t(process.processId()), signalNumber);
                    });
        EXPECT_TRUE(
            exitedSaying(run, 128 + signalNumber,
                         {u"Ripped 1 of 5 tracks (4 stopped) into "_qs + output + u"/Artist - Title."_qs}));
        EXPECT_EQ(run.err.count(u"the rip was stopped"_qs), 1);
        EXPECT_TRUE(encoder > 0 && waitUntil([&] { return ::kill(encoder, 0) != 0; }, 10000))
            << "encoder left";
        EXPECT_TRUE(readTestFile(output + u"/Artist - Title/00-Artist-Title.sfv"_qs)
                        .contains("01 -  Audio Track.mp3"));
        // The stopped track leaves nothing a player would take for it, and the finished one stays.
        EXPECT_EQ(
            folderEntries(output + u"/Artist - Title"_qs),
            QStringList({u"00-Artist-Title.m3u"_qs, u"00-Artist-Title.sfv"_qs, u"01 -  Audio Track.mp3"_qs}));
    }
}

// An output folder that cannot be written is refused before anything is looked up or encoded,
// with the system's reason: a file where a folder should be, a read-only mount (a bind mount
// when we are root, whom permissions do not stop; a read-only folder otherwise).
TEST_F(VeskRipTest, AnOutputFolderThatCannotBeWrittenIsRefusedBeforeEncoding)
{
    const auto expectRefused = [&](const QString& folder, const QString& reason) {
        const RipRun run = veskRip({u"--output"_qs, folder, cd});
        EXPECT_TRUE(exitedSaying(run, 1, {u"Vesk cannot write into %1: %2."_qs.arg(folder, reason)}));
        EXPECT_FALSE(run.out.contains(u"Processing"_qs));
    };
    ASSERT_TRUE(writeTestFile(m_work.filePath(u"file"_qs), "x"));
    expectRefused(m_work.filePath(u"file/music"_qs), u"Not a directory"_qs);

    const QString locked = m_work.filePath(u"locked"_qs);
    ASSERT_TRUE(QDir().mkpath(locked));
    const bool root = ::geteuid() == 0;
    if (root) {
        const auto run = [](const QStringList& arguments) {
            return QProcess::execute(u"mount"_qs, arguments);
        };
        if (run({u"--bind"_qs, locked, locked}) != 0 || run({u"-o"_qs, u"remount,bind,ro"_qs, locked}) != 0) {
            QProcess::execute(u"umount"_qs, {locked});
            GTEST_SKIP() << "no read-only bind mount here";
        }
    } else {
        ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    }
    expectRefused(locked + u"/new"_qs, root ? u"Read-only file system"_qs : u"Permission denied"_qs);
    if (root)
        QProcess::execute(u"umount"_qs, {locked});
}

// Rips started together each claim an album folder of their own, even when all of them would
// name it the same: no file of one ends up among another's.
TEST_F(VeskRipTest, RipsStartedTogetherEachOwnTheirAlbumFolder)
{
    std::vector<std::unique_ptr<QProcess>> rips;
    for (int i = 0; i < 6; ++i) {
        const QString source = m_work.filePath(u"disc%1/short"_qs.arg(i));
        ASSERT_TRUE(QDir().mkpath(source));
        for (int track = 1; track <= 3; ++track)
            ASSERT_TRUE(QFile::copy(cd + u"/%1 Audio Track.aiff"_qs.arg(track),
                                    source + u"/%1 Audio Track.aiff"_qs.arg(track)));
        auto& rip = rips.emplace_back(std::make_unique<QProcess>());
        rip->setStandardInputFile(QProcess::nullDevice());
        rip->start(
            QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"),
            {u"--server="_qs, u"--no-musicbrainz"_qs, u"--jobs"_qs, u"1"_qs, u"--output"_qs, out, source});
    }
    for (const auto& rip : rips) {
        ASSERT_TRUE(rip->waitForFinished(120000));
        EXPECT_EQ(rip->exitCode(), 0) << rip->readAllStandardError().toStdString();
    }
    const QStringList folders = folderEntries(out);
    ASSERT_EQ(folders.size(), 6) << folders.join(u' ').toStdString();
    for (const QString& folder : folders)
        EXPECT_EQ(folderEntries(out + u'/' + folder).filter(u".mp3"_qs).size(), 3) << folder.toStdString();
}

// What is not sound never becomes noise: an empty file, random bytes and text under track names,
// and a copy cut short each fail with what is wrong; a track whose name is not UTF-8 is named as
// left out, never skipped without a word. Only the real track is ripped, and the release files the
// defaults make (no preferences file here) list it alone.
TEST_F(VeskRipTest, FilesThatAreNotWholeSoundFailWithTheReason)
{
    const QString source = m_work.filePath(u"bad"_qs);
    QByteArray noise(300 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + (i >> 3) * 104729) & 0xff);
    const QByteArray latin1 = QFile::encodeName(source) + "/6 caf\xe9.aiff";
    ASSERT_TRUE(writeTestFile(source + u"/1 Empty.aiff"_qs, {}) &&
                writeTestFile(source + u"/2 Noise.aiff"_qs, noise) &&
                writeTestFile(source + u"/3 Text.wav"_qs, "just some text\n") &&
                writeCDTrack(source + u"/4 Cut.aiff"_qs, 588 * 75, true, 50000) &&
                QFile::copy(cd + u"/1 Audio Track.aiff"_qs, source + u"/5 Good.aiff"_qs) &&
                QFile::copy(cd + u"/2 Audio Track.aiff"_qs, source + u"/tmp.aiff"_qs));
    ASSERT_EQ(::rename(QFile::encodeName(source + u"/tmp.aiff"_qs).constData(), latin1.constData()), 0);
    const RipRun run = veskRip({u"--output"_qs, out, source});
    ::unlink(latin1.constData()); // a name the temporary folder could not remove
    EXPECT_TRUE(
        exitedSaying(run, 1,
                     {u"1 Empty.aiff does not read"_qs, u"2 Noise.aiff does not read"_qs,
                      u"3 Text.wav does not read"_qs, u"4 Cut.aiff holds less sound than its header says"_qs,
                      u"since their names are not UTF-8"_qs, u"6 caf"_qs}));
    EXPECT_EQ(folderEntries(out + u"/Artist - Title"_qs).filter(u".mp3"_qs),
              QStringList{u"05 -  Good.mp3"_qs});
    EXPECT_EQ(readTestFile(out + u"/Artist - Title/00-Artist-Title.m3u"_qs), QByteArray("05 -  Good.mp3\n"));
}

// On a file system that fills up, tracks fail saying so and the release files are whole or
// absent, never empty (a small tmpfs needs root to mount; skipped otherwise).
TEST_F(VeskRipTest, AFullDiskIsSaidAndLeavesNoEmptyReleaseFiles)
{
    const QString small = m_work.filePath(u"small"_qs);
    ASSERT_TRUE(QDir().mkpath(small));
    if (::geteuid() != 0 || QProcess::execute(u"mount"_qs, {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs, u"size=400k"_qs,
                                                            u"tmpfs"_qs, small}) != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString source = m_work.filePath(u"long"_qs);
    ASSERT_TRUE(QDir().mkpath(source));
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(makeAiff(source + u"/%1 Long.aiff"_qs.arg(i), 12.0));
    const RipRun run = veskRip({u"--release-files"_qs, u"--jobs"_qs, u"1"_qs, u"--output"_qs, small, source});
    const QString album = small + u"/Artist - Title/"_qs;
    QStringList left;
    for (const QString& name : folderEntries(album))
        left << name + u' ' + QString::number(QFileInfo(album + name).size());
    QProcess::execute(u"umount"_qs, {small});
    EXPECT_TRUE(exitedSaying(run, 1, {u"No space left on device"_qs}));
    for (const QString& entry : left)
        EXPECT_FALSE(entry.contains(u".part"_qs) || entry.endsWith(u" 0"_qs)) << entry.toStdString();
}

// A ".TOC.plist" that is a FIFO, or a link to /dev/zero, is no table of contents, and a preferences
// file that is a FIFO is none either: the rip goes on with the defaults and the tracks' lengths
// instead of waiting for ever or filling memory.
TEST_F(VeskRipTest, FilesThatAreNoFilesNeitherHangNorFillMemory)
{
    ASSERT_TRUE(QDir().mkpath(env.home() + u"/.config"_qs));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Preferences::preferencesPath()).constData(), 0600), 0);
    const QString toc = cd + u"/.TOC.plist"_qs;
    for (const bool fifo : {true, false}) {
        QFile::remove(toc);
        ASSERT_TRUE(fifo ? ::mkfifo(QFile::encodeName(toc).constData(), 0600) == 0
                         : QFile::link(u"/dev/zero"_qs, toc));
        // Nothing listens there: the lookup reads the disc, then fails to connect.
        const QString output = out + QString::number(fifo);
        EXPECT_TRUE(exitedSaying(runVeskRip({u"--server"_qs, ownLoopbackAddress(), u"--no-musicbrainz"_qs,
                                             u"--jobs"_qs, u"2"_qs, u"--output"_qs, output, cd}),
                                 0, {u"Could not read "_qs + toc}));
        EXPECT_EQ(folderEntries(output + u"/Artist - Title"_qs).filter(u".mp3"_qs).size(), 5);
    }
}

// A web address names the CDDB server as well as a host does, given with --server or --set; it is
// asked over HTTP, and the host alone names it in what vesk-rip says.
TEST_F(VeskRipTest, AWebAddressAsTheCddbServerIsAskedOverHttp)
{
    const QString disc = m_work.filePath(u"toc disc"_qs);
    const QString id = makeTocDisc(disc, {150, 300}, 450);
    ASSERT_FALSE(id.isEmpty());
    ASSERT_TRUE(writeTestFile(m_work.filePath(u"cddb/rock/"_qs) + id,
                              "DTITLE=Band / Record\nTTITLE0=One\nTTITLE1=Two\n"));
    CddbServer server(m_work.filePath(u"cddb"_qs));
    ASSERT_TRUE(server.listen()) << server.errorString().toStdString();
    for (const QStringList& naming : {QStringList{u"--server"_qs, server.cgiUrl()},
                                      QStringList{u"--set"_qs, u"FreedbServer="_qs + server.cgiUrl()}}) {
        SCOPED_TRACE(naming.join(u' ').toStdString());
        const QString output = m_work.filePath(u"out"_qs + naming.first());
        EXPECT_TRUE(exitedSaying(runVeskRip(naming + QStringList{u"--no-musicbrainz"_qs, u"--track"_qs,
                                                                 u"1"_qs, u"--output"_qs, output, disc}),
                                 0, {u"Found: Band – Record"_qs, u"CDDB: rock "_qs + id}));
        EXPECT_TRUE(QFileInfo::exists(output + u"/Band - Record/01 - One.mp3"_qs))
            << folderEntries(output).join(u',').toStdString();
    }
    EXPECT_EQ(server.requestLines().size(), 4);
    EXPECT_TRUE(server.receivedLines().isEmpty());
}

// Ctrl+C typed (or SIGTERM) while the match question waits for an answer at a terminal ends the
// run at once, with 128 + the signal, and nothing is made.
TEST_F(VeskRipTest, CtrlCAtTheMatchQuestionEndsTheRunAtOnce)
{
    const QString disc = m_work.filePath(u"toc disc"_qs);
    const QString id = makeTocDisc(disc, {150, 300}, 450);
    ASSERT_FALSE(id.isEmpty());
    for (const QString& category : {u"misc"_qs, u"rock"_qs})
        ASSERT_TRUE(writeTestFile(m_work.filePath(u"cddb/"_qs) + category + u'/' + id,
                                  "DTITLE=Band / " + category.toUtf8() + "\nTTITLE0=One\nTTITLE1=Two\n"));
    CddbServer server(m_work.filePath(u"cddb"_qs));
    const QString address = ownLoopbackAddress();
    ASSERT_TRUE(server.listen(address, 8880)) << server.errorString().toStdString();
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        const QString output = m_work.filePath(u"asked%1"_qs.arg(signalNumber));
        const QByteArray host = address.toUtf8(), folder = QFile::encodeName(output),
                         source = QFile::encodeName(disc);
        int terminal = -1;
        winsize size{24, 80, 0, 0};
        const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const char* program = VESK_TEST_BINARY_DIR "/vesk-rip";
            ::execl(program, program, "--server", host.constData(), "--no-musicbrainz", "--output",
                    folder.constData(), source.constData(), nullptr);
            ::_exit(127);
        }
        QByteArray shown;
        readTerminal(terminal, shown, 60000, "Choose 1-2 (0 or Enter: none of these): ");
        const bool asked = shown.contains("2) Band \xe2\x80\x93 rock (rock)");
        if (signalNumber == SIGINT)
            EXPECT_EQ(::write(terminal, "\x03", 1), 1); // Ctrl+C, as the terminal turns it into SIGINT
        else
            ::kill(pid, signalNumber);
        QElapsedTimer clock;
        clock.start();
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && clock.elapsed() < 5000)
            readTerminal(terminal, shown, 50);
        if (ended != pid) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        readTerminal(terminal, shown, 100);
        ::close(terminal);
        EXPECT_TRUE(asked) << shown.toStdString();
        ASSERT_EQ(ended, pid) << "still running 5 s after the signal:\n" << shown.toStdString();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signalNumber) << shown.toStdString();
        // The stop is said on a line of its own, not after the question.
        EXPECT_TRUE(QRegularExpression(u"\\r?\\nvesk-rip: the rip was stopped by SIG(INT|TERM)\\."_qs)
                        .match(QString::fromUtf8(shown))
                        .hasMatch())
            << shown.toStdString();
        EXPECT_FALSE(QFileInfo::exists(output));
    }
}
