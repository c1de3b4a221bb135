// The settings model and its preferences file: round trips, hand-edited and damaged files, a full
// disk, the one table of keys, the expert list and the chosen source.
#include "settings/musicfolder.h"
#include "settings/preferencekeys.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
// A property list holding the given dictionary body, written to path.
QString writePlist(const QString& path, const QByteArray& body)
{
    EXPECT_TRUE(
        writeTestFile(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
                                body + "</dict>\n</plist>\n"));
    return path;
}
} // namespace

TEST(PreferencesTest, EveryKeyRoundTripsIdentically)
{
    TestEnvironment env;
    Settings first;
    first.setChosenCDName(u"/media/me/My Disc"_qs);
    first.setOutputDirectory(u"/data/Music/out10"_qs);
    first.setText(Settings::Text::NameStyle, u"%a – %t (ü).mp3"_qs);
    first.switchBasicConfig(2);
    first.addExpertItems({u"-V 0"_qs, u"--abr 200"_qs});
    first.selectExpertItem(1);
    first.setText(Settings::Text::FreedbServer, u"127.0.0.2"_qs);
    first.setText(Settings::Text::FreedbEmail, u"alice@example.org"_qs);
    first.setText(Settings::Text::MusicBrainzURL, u"http://127.0.0.3:8080"_qs);
    first.setEncoderJobs(first.encoderJobs() % Settings::maxEncoderJobs + 1);
    // The last option, MusicBrainz, starts on: turning it off must survive the round trip.
    for (int i = 0; i < int(Settings::Option::Count); ++i)
        first.setCheckState(Settings::Option(i), i % 2 ? Settings::On : Settings::Off);
    const QString path = env.home() + u"/one.plist"_qs;
    ASSERT_TRUE(Preferences::savePreferences(first, path));
    const QVariantMap written = *Preferences::readDictionary(path);
    QStringList keys = Preferences::keys();
    keys.sort();
    EXPECT_EQ(written.keys(), keys);
    // The folder albums go into, as typed: never its parent.
    EXPECT_EQ(written.value(u"OutputDirectory"_qs).toString(), u"/data/Music/out10"_qs);
    EXPECT_EQ(written.value(u"ExpertConfigOption"_qs).toString(), u"-V 0, --abr 200"_qs);

    Settings second;
    ASSERT_TRUE(Preferences::loadPreferences(second, path).applied);
    EXPECT_EQ(second.getChosenOutputDirectory(), u"/data/Music/out10"_qs);
    EXPECT_EQ(second.getExpertConfigOption(), (QStringList{u"--abr"_qs, u"200"_qs}));
    EXPECT_FALSE(second.shouldUseMusicBrainz());
    EXPECT_EQ(second.encoderJobs(), first.encoderJobs());
    const QString again = env.home() + u"/two.plist"_qs;
    ASSERT_TRUE(Preferences::savePreferences(second, again));
    EXPECT_EQ(readTestFile(again), readTestFile(path));
}

TEST(PreferencesTest, ExpertLinesSplitAtCommaSpaceAndKeepTheBlankItem)
{
    TestEnvironment env;
    const QString path = writePlist(env.home() + u"/p.plist"_qs,
                                    "<key>ExpertConfigOption</key><string>a, b, </string>\n"
                                    "<key>ExpertConfigOptionSelected</key><integer>7</integer>\n");
    Settings settings;
    Preferences::loadPreferences(settings, path);
    EXPECT_EQ(settings.expertItems(), (QStringList{u"a"_qs, u"b"_qs, QString()}));
    EXPECT_EQ(settings.expertSelectedIndex(), 0); // the out-of-range index is ignored
    settings.setText(Settings::Text::ExpertText, QString());
    EXPECT_EQ(Preferences::dictionaryFromSettings(settings).value(u"ExpertConfigOption"_qs), u"a, b, "_qs);

    // A typed line joins the list when saving; one with ", " comes back as two lines.
    settings.setText(Settings::Text::ExpertText, u"-V 3, -q 0"_qs);
    Preferences::savePreferences(settings, path);
    Settings reloaded;
    Preferences::loadPreferences(reloaded, path);
    EXPECT_EQ(reloaded.expertItems(), (QStringList{u"a"_qs, u"b"_qs, u"-V 3"_qs, u"-q 0"_qs}));
}

// The one table of keys (its names are unique, or the round trip above fails): each check box has
// exactly one key and the defaults file names only keys the table knows; a command-line value is
// read strictly and kept as loading keeps it.
TEST(PreferencesTest, EveryOptionHasOneKeyAndSetValueFollowsTheTable)
{
    TestEnvironment env;
    for (int i = 0; i < int(Settings::Option::Count); ++i) {
        int keys = 0;
        for (const PreferenceKey& key : PreferenceKeys::all())
            keys += key.option == Settings::Option(i);
        EXPECT_EQ(keys, 1) << i;
    }
    const QVariantMap defaults = *Preferences::readDictionary(Preferences::defaultsPath());
    for (const QString& name : defaults.keys())
        EXPECT_TRUE(Preferences::keys().contains(name)) << name.toStdString();

    Settings settings;
    EXPECT_FALSE(Preferences::setValue(settings, u"EncoderJobs"_qs, u"3x"_qs));
    EXPECT_FALSE(Preferences::setValue(settings, u"EncoderJobs"_qs, u"0"_qs));
    EXPECT_TRUE(Preferences::setValue(settings, u"EncoderJobs"_qs, u" 1 "_qs));
    EXPECT_EQ(settings.encoderJobs(), 1);
    EXPECT_TRUE(Preferences::setValue(settings, u"CreateReleaseFiles"_qs, u" Yes"_qs));
    EXPECT_TRUE(settings.shouldCreateReleaseFiles());
    EXPECT_TRUE(Preferences::setValue(settings, u"CreateReleaseFiles"_qs, u"off"_qs));
    EXPECT_FALSE(settings.shouldCreateReleaseFiles());
    EXPECT_FALSE(Preferences::setValue(settings, u"CreateReleaseFiles"_qs, u"2"_qs));
    EXPECT_TRUE(Preferences::setValue(settings, u"FreedbServer"_qs, QString()));
    EXPECT_EQ(settings.getChosenFreedbServer(), PreferenceKeys::of(Settings::Text::FreedbServer)->fallback);
    EXPECT_TRUE(Preferences::setValue(settings, u"FreedbEmail"_qs, u" me@example.org "_qs));
    EXPECT_EQ(settings.getFreedbEmail(), u"me@example.org"_qs);
    QDir::setCurrent(env.home());
    EXPECT_TRUE(Preferences::setValue(settings, u"OutputDirectory"_qs, u"rips"_qs));
    EXPECT_EQ(settings.getChosenOutputDirectory(), env.home() + u"/rips"_qs);
    // The preset row given on the command line chooses that preset's options as well.
    EXPECT_TRUE(Preferences::setValue(settings, u"ConfigOptionSelected"_qs, u"3"_qs));
    EXPECT_EQ(settings.basicConfigOption(), Settings::basicPresetTitles().at(3));
}

// A hand-edited file: each value of the wrong type or out of range gives that key's default and
// one log line; numbers may come as text; loading only turns check boxes on; paths are made
// absolute under the home folder.
TEST(PreferencesTest, WrongTypesAndRangesFallBackToTheDefaultAndPathsBecomeAbsolute)
{
    TestEnvironment env;
    const QString path = writePlist(env.home() + u"/p.plist"_qs,
                                    "<key>OutputDirectory</key><integer>5</integer>\n"
                                    "<key>MP3NameStyle</key><integer>3</integer>\n"
                                    "<key>FreedbServer</key><true/>\n"
                                    "<key>BasicConfigOption</key><string>--nohist --preset extreme</string>\n"
                                    "<key>ConfigOptionSelected</key><integer>99</integer>\n"
                                    "<key>ExpertConfigOptionSelected</key><string>none</string>\n"
                                    "<key>AddID3Tags</key><string>yes</string>\n"
                                    "<key>ZFlag</key><integer>2</integer>\n"
                                    "<key>CreateReleaseFiles</key><true/>\n"
                                    "<key>EditTrackInformation</key><string>1</string>\n"
                                    "<key>SoundAlertWhenFinished</key><integer>0</integer>\n"
                                    "<key>SomethingNew</key><array><string>x</string></array>\n"
                                    "<key>EncoderJobs</key><real>2.5</real>\n"
                                    "<key>AudioCDLocation</key><string>~/cd</string>\n");
    LogCapture log;
    Settings settings;
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::On);
    ASSERT_TRUE(Preferences::loadPreferences(settings, path).applied);
    EXPECT_TRUE(settings.shouldEditTrackInformation() && settings.shouldSoundAlertWhenFinished());
    EXPECT_FALSE(Preferences::setValue(settings, u"ConfigOptionSelected"_qs, u"99"_qs));
    EXPECT_EQ(settings.getChosenOutputDirectory(), env.home() + u"/Music"_qs);
    EXPECT_EQ(settings.getMP3NameStyle(), u"%d - %t.mp3"_qs);
    EXPECT_EQ(settings.getChosenFreedbServer(), u"https://gnudb.gnudb.org/~cddb/cddb.cgi"_qs);
    EXPECT_EQ(settings.selectedBasicRow(), 1); // the row of BasicConfigOption
    EXPECT_TRUE(settings.shouldAddID3Tags());
    EXPECT_FALSE(settings.isOn(Settings::Option::ZFlag));
    EXPECT_TRUE(settings.shouldCreateReleaseFiles());
    EXPECT_EQ(settings.encoderJobs(), Settings::defaultEncoderJobs());
    EXPECT_EQ(settings.getChosenCDName(), env.home() + u"/cd"_qs);
    const QStringList bad = u"OutputDirectory MP3NameStyle FreedbServer ConfigOptionSelected "
                            "ExpertConfigOptionSelected AddID3Tags ZFlag EncoderJobs"_qs.split(u' ');
    EXPECT_EQ(log.lines().size(), bad.size()) << log.lines().join(u'\n').toStdString();
    for (const QString& key : bad)
        EXPECT_TRUE(log.contains(u"Preferences: "_qs + key)) << key.toStdString();

    // Typed in the window: "~" and relative paths are taken under the home folder.
    settings.setOutputDirectory(u"~/rips"_qs);
    EXPECT_EQ(settings.getChosenOutputDirectory(), env.home() + u"/rips"_qs);
}

// A file that is there but cannot be read gives the defaults, and its bytes are kept beside it
// before anything could write over it: once per distinct content, never over an older copy.
TEST(PreferencesTest, DamagedFileIsKeptByteForByteAndGivesTheDefaults)
{
    TestEnvironment env;
    const QString path = env.home() + u"/.config/org.vesk.Vesk.plist"_qs;
    EXPECT_EQ(Preferences::preferencesPath(), path);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Preferences::preferencesPath(), path);

    // A real preferences file cut short, as a crash while writing leaves one.
    Settings written;
    written.setText(Settings::Text::NameStyle, u"%a - %t.mp3"_qs);
    ASSERT_TRUE(Preferences::savePreferences(written, path));
    const QByteArray cut = readTestFile(path).chopped(40);
    const QByteArray binary = QByteArray("bplist00\xd1\x01\x02\0\xff", 13);
    const QString kept = path + u".damaged"_qs;
    for (const auto& [damaged, copy] :
         {std::pair{cut, kept},
          {cut, kept}, // the same bytes again: no second copy
          {binary, kept + u".1"_qs},
          {QByteArray("<plist version=\"1.0\"><array/></plist>"), kept + u".2"_qs},
          {QByteArray(), kept + u".3"_qs}}) {
        ASSERT_TRUE(writeTestFile(path, damaged));
        Settings settings;
        const PreferencesLoad load = Preferences::loadPreferences(settings);
        EXPECT_TRUE(load.applied);
        EXPECT_EQ(load.damaged, path);
        EXPECT_EQ(load.keptCopy, copy);
        EXPECT_TRUE(load.maySave());
        EXPECT_TRUE(load.message().contains(path) && load.message().contains(copy));
        EXPECT_EQ(readTestFile(copy), damaged);
        EXPECT_EQ(settings.getMP3NameStyle(), u"%d - %t.mp3"_qs);
    }
    EXPECT_EQ(readTestFile(kept), cut);
    EXPECT_EQ(QDir(env.home() + u"/.config"_qs).entryList(QDir::Files).size(), 5);

    // A copy that cannot be made (here a size limit, as a full disk) leaves nothing half
    // written and forbids writing over the original.
    ASSERT_TRUE(writeTestFile(path, QByteArray(4096, 'x')));
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LogCapture log;
    Settings settings;
    const PreferencesLoad load = Preferences::loadPreferences(settings);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(load.keptCopy.isNull());
    EXPECT_FALSE(load.maySave());
    EXPECT_TRUE(log.contains(u"Could not keep the damaged preferences file"_qs));
    EXPECT_FALSE(QFileInfo::exists(kept + u".4"_qs));

    // A missing file is no damage.
    QFile::remove(path);
    EXPECT_TRUE(Preferences::loadPreferences(settings).damaged.isNull());
}

// Without an output folder in the preferences, albums go to the music folder the desktop names
// (read at start-up in vesk-rip's test of the defaults).
TEST(PreferencesTest, EmptyOutputFolderIsTheDesktopsMusicFolder)
{
    const QString home = u"/home/u"_qs;
    for (const auto& [text, folder] : std::initializer_list<std::pair<QByteArray, QString>>{
             {"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
              "XDG_MUSIC_DIR=\"$HOME/Musik\"\n",
              u"/home/u/Musik"_qs},
             {"  XDG_MUSIC_DIR=\"/srv/music/\"  \nXDG_VIDEOS_DIR=\"$HOME/Videos\"", u"/srv/music"_qs},
             {"XDG_MUSIC_DIR=\"$HOME/My \\\"Songs\\\"\"\n", u"/home/u/My \"Songs\""_qs},
             {"XDG_MUSIC_DIR=\"$HOME/a\"\nXDG_MUSIC_DIR=\"$HOME/b\"\n", u"/home/u/b"_qs},
             {"XDG_MUSIC_DIR=\"Music\"\n", QString()},         // relative: not allowed
             {"XDG_MUSIC_DIR=\"$HOMEMusic\"\n", QString()},    // no "$HOME/"
             {"XDG_MUSIC_DIR=\"$HOME/\"\n", QString()},        // the home itself: none
             {"XDG_MUSIC_DIR=$HOME/Musik\n", QString()},       // unquoted
             {"XDG_MUSIC_DIR=\"$HOME/Musik\n", QString()},     // unterminated
             {"#XDG_MUSIC_DIR=\"$HOME/Musik\"\n", QString()}}) // commented out
        EXPECT_EQ(MusicFolder::fromUserDirs(text, home), folder) << text.toStdString();
}

TEST(PreferencesTest, FailedWriteLeavesThePreviousFileWhole)
{
    TestEnvironment env;
    Settings settings;
    ASSERT_TRUE(Preferences::savePreferences(settings));
    const QByteArray before = readTestFile(Preferences::preferencesPath());

    // A file size limit makes the next, much longer write fail part way, as a full disk would.
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << u"--line %1 with some words"_qs.arg(i);
    settings.addExpertItems(lines);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = rlim_t(before.size() + 512);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LogCapture log;
    const bool written = Preferences::savePreferences(settings);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_TRUE(log.contains(u"Could not write the preferences file"_qs));
    EXPECT_EQ(readTestFile(Preferences::preferencesPath()), before);
    EXPECT_EQ(QDir(env.home() + u"/.config"_qs).entryList(QDir::Files).size(), 1);
}

using L = QStringList;

// The typing, clearing and blank-item cases run on the real combo box in the window's test; these
// are the cases it does not reach.
TEST(ExpertListTest, OtherFieldsAndEmptySelectionsLeaveTheList)
{
    Settings settings;
    settings.addExpertItems({u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"5"_qs});
    settings.selectExpertItem(1);
    settings.setText(Settings::Text::ExpertText, QString());
    settings.expertFieldTextChanged(QString());
    settings.expertFieldTextChanged(QString()); // nothing selected now: nothing more to forget
    settings.setText(Settings::Text::ExpertText, u"-V 4"_qs);
    settings.expertFieldTextChanged(u"%d - %t.mp3"_qs); // another field's editing ended
    EXPECT_EQ(settings.expertItems(), (L{u"1"_qs, u"3"_qs, u"4"_qs, u"5"_qs}));
    EXPECT_EQ(settings.expertSelectedIndex(), -1);
}

TEST(SourceChoiceTest, FolderOrFilesBecomeSourceAndTracks)
{
    QTemporaryDir dir;
    const QString disc = dir.filePath(u"Audio CD"_qs);
    // Only the audio files are tracks: not a cover, a file manager's notes or a folder of scans.
    QDir().mkpath(disc + u"/scans"_qs);
    for (const char* name : {"1 Audio Track.aiff", "2 Audio Track.aiff", "10 Audio Track.AIF", ".TOC.plist",
                             "cover.jpg", ".directory", ".hidden.wav"}) {
        QFile file(disc + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    Settings settings;
    LogCapture log;
    settings.applyChosenSource({disc});
    EXPECT_EQ(log.lines(), QStringList{u"Not audio tracks, left out of "_qs + disc +
                                       u": .directory, .hidden.wav, cover.jpg, scans"_qs});
    EXPECT_EQ(settings.getChosenCDName(), disc);
    EXPECT_EQ(settings.getChosenTracks(),
              (L{u"1 Audio Track.aiff"_qs, u"2 Audio Track.aiff"_qs, u"10 Audio Track.AIF"_qs}));

    settings.applyChosenSource({disc + u"/2 Audio Track.aiff"_qs, disc + u"/1 Audio Track.aiff"_qs});
    EXPECT_EQ(settings.getChosenCDName(), disc);
    // Picked tracks are ripped in the folder's order, whatever order the dialog gave.
    EXPECT_EQ(settings.chosenTracks(), (L{u"1 Audio Track.aiff"_qs, u"2 Audio Track.aiff"_qs}));
    settings.applyChosenSource({}); // cancelled
    EXPECT_EQ(settings.getChosenCDName(), disc);
    EXPECT_EQ(settings.chosenTracks().size(), 2);

    // The chosen output folder is where albums go: no component of the source is added.
    settings.applyChosenOutputDirectory(u"/data/Music/out10/"_qs);
    EXPECT_EQ(settings.getChosenOutputDirectory(), u"/data/Music/out10"_qs);
    settings.applyChosenOutputDirectory(QString()); // cancelled
    EXPECT_EQ(settings.getChosenOutputDirectory(), u"/data/Music/out10"_qs);
}
