#include "app/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
QByteArray readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    return path;
}

// A property list holding the given dictionary body, written to path.
QString writePlist(const QString& path, const QByteArray& body)
{
    return writeFile(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
                               body + "</dict>\n</plist>\n");
}
} // namespace

TEST(PreferencesTest, FirstStartTakesTheDefaultsAndSavingWritesAllKeys)
{
    TestEnvironment env;
    const QString path = env.home() + QStringLiteral("/.config/org.vesk.Vesk.plist");
    EXPECT_EQ(Preferences::preferencesPath(), path);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Preferences::preferencesPath(), path);

    Settings settings;
    ASSERT_TRUE(Preferences::loadPreferences(settings));
    EXPECT_EQ(settings.getChosenFreedbServer(), QStringLiteral("gnudb.gnudb.org"));
    EXPECT_EQ(settings.getMP3NameStyle(), QStringLiteral("%d - %t.mp3"));
    EXPECT_EQ(settings.getChosenOutputDirectory(), env.home() + QStringLiteral("/Music/Audio CD"));
    EXPECT_EQ(settings.basicConfigOption(), QStringLiteral("--nohist --preset standard"));
    EXPECT_TRUE(settings.shouldAddID3Tags());

    ASSERT_TRUE(Preferences::savePreferences(settings));
    const auto saved = Preferences::readDictionary(path);
    ASSERT_TRUE(saved);
    EXPECT_EQ(
        saved->keys().join(QLatin1Char(' ')),
        QStringLiteral("AddID3Tags AudioCDLocation BasicConfigOption ConfigOptionSelected "
                       "ConvertSpacesToUnderscores CreateReleaseFiles CreateSeparateArtistAlbumDirs "
                       "EditTrackInformation EncoderJobs ExpertConfigOption ExpertConfigOptionSelected FreedbEmail "
                       "FreedbServer MP3NameStyle MakeAltPresetFaster MusicBrainzURL OutputDirectory "
                       "SoundAlertWhenFinished UseMusicBrainz ZFlag"));
    EXPECT_TRUE(settings.shouldUseMusicBrainz());
    EXPECT_EQ(settings.getMusicBrainzURL(), QStringLiteral("https://musicbrainz.org"));
    EXPECT_EQ(saved->value(QStringLiteral("OutputDirectory")).toString(),
              env.home() + QStringLiteral("/Music"));
}

TEST(PreferencesTest, EveryKeyRoundTripsIdentically)
{
    TestEnvironment env;
    Settings first;
    first.setChosenCDName(QStringLiteral("/media/me/My Disc"));
    first.setOutputDirectory(QStringLiteral("/data/Music/My Disc"));
    first.setText(Settings::Text::NameStyle, QStringLiteral("%a – %t (ü).mp3"));
    first.switchBasicConfig(2);
    first.addExpertItems({QStringLiteral("-V 0"), QStringLiteral("--abr 200")});
    first.selectExpertItem(1);
    first.setText(Settings::Text::FreedbServer, QStringLiteral("127.0.0.2"));
    first.setText(Settings::Text::FreedbEmail, QStringLiteral("alice@example.org"));
    first.setText(Settings::Text::MusicBrainzURL, QStringLiteral("http://127.0.0.3:8080"));
    first.setEncoderJobs(first.encoderJobs() % Settings::maxEncoderJobs + 1);
    // The last option, MusicBrainz, starts on: turning it off must survive the round trip.
    for (int i = 0; i < 9; ++i)
        first.setCheckState(Settings::Option(i), i % 2 ? Settings::On : Settings::Off);
    const QString path = env.home() + QStringLiteral("/one.plist");
    ASSERT_TRUE(Preferences::savePreferences(first, path));
    const QVariantMap written = *Preferences::readDictionary(path);
    EXPECT_EQ(written.value(QStringLiteral("OutputDirectory")).toString(), QStringLiteral("/data/Music"));
    EXPECT_EQ(written.value(QStringLiteral("ExpertConfigOption")).toString(),
              QStringLiteral("-V 0, --abr 200"));

    Settings second;
    ASSERT_TRUE(Preferences::loadPreferences(second, path));
    EXPECT_EQ(second.getChosenOutputDirectory(), QStringLiteral("/data/Music/Audio CD"));
    EXPECT_EQ(second.getExpertConfigOption(), (QStringList{QStringLiteral("--abr"), QStringLiteral("200")}));
    EXPECT_FALSE(second.shouldUseMusicBrainz());
    EXPECT_EQ(second.encoderJobs(), first.encoderJobs());
    const QString again = env.home() + QStringLiteral("/two.plist");
    ASSERT_TRUE(Preferences::savePreferences(second, again));
    EXPECT_EQ(readText(again), readText(path));
}

TEST(PreferencesTest, ExpertLinesSplitAtCommaSpaceAndKeepTheBlankItem)
{
    TestEnvironment env;
    const QString path = writePlist(env.home() + QStringLiteral("/p.plist"),
                                    "<key>ExpertConfigOption</key><string>a, b, </string>\n"
                                    "<key>ExpertConfigOptionSelected</key><integer>7</integer>\n");
    Settings settings;
    Preferences::loadPreferences(settings, path);
    EXPECT_EQ(settings.expertItems(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()}));
    EXPECT_EQ(settings.expertSelectedIndex(), 0); // the out-of-range index is ignored
    settings.setText(Settings::Text::ExpertText, QString());
    EXPECT_EQ(Preferences::dictionaryFromSettings(settings).value(QStringLiteral("ExpertConfigOption")),
              QStringLiteral("a, b, "));

    // A typed line joins the list when saving; one with ", " comes back as two lines.
    settings.setText(Settings::Text::ExpertText, QStringLiteral("-V 3, -q 0"));
    Preferences::savePreferences(settings, path);
    Settings reloaded;
    Preferences::loadPreferences(reloaded, path);
    EXPECT_EQ(reloaded.expertItems(), (QStringList{QStringLiteral("a"), QStringLiteral("b"),
                                                   QStringLiteral("-V 3"), QStringLiteral("-q 0")}));
}

TEST(PreferencesTest, LoadingOnlyTurnsCheckBoxesOnAndReadsNumbersFromText)
{
    TestEnvironment env;
    const QString path = writePlist(env.home() + QStringLiteral("/p.plist"),
                                    "<key>AddID3Tags</key><integer>0</integer>\n"
                                    "<key>CreateReleaseFiles</key><string>1</string>\n"
                                    "<key>SomethingNew</key><array><string>x</string></array>\n"
                                    "<key>ConfigOptionSelected</key><string>3</string>\n");
    Settings settings;
    settings.setCheckState(Settings::Option::AddID3Tags, Settings::On);
    ASSERT_TRUE(Preferences::loadPreferences(settings, path));
    EXPECT_TRUE(settings.shouldAddID3Tags());
    EXPECT_TRUE(settings.shouldCreateReleaseFiles());
    EXPECT_EQ(settings.selectedBasicRow(), 3);
    EXPECT_FALSE(
        Preferences::setValue(settings, QStringLiteral("ConfigOptionSelected"), QStringLiteral("99")));
    EXPECT_EQ(settings.selectedBasicRow(), 3);
}

TEST(PreferencesTest, DamagedFileGivesTheDefaultsAndALogLine)
{
    TestEnvironment env;
    for (const QByteArray& damaged : {QByteArray("not a property list at all"), QByteArray(),
                                      QByteArray("<plist version=\"1.0\"><array/></plist>")}) {
        writeFile(Preferences::preferencesPath(), damaged);
        LogCapture log;
        Settings settings;
        EXPECT_TRUE(Preferences::loadPreferences(settings));
        EXPECT_TRUE(log.contains(QStringLiteral("Could not read the preferences file")));
        EXPECT_EQ(settings.getMP3NameStyle(), QStringLiteral("%d - %t.mp3"));
    }
}

TEST(PreferencesTest, FailedWriteLeavesThePreviousFileWhole)
{
    TestEnvironment env;
    Settings settings;
    ASSERT_TRUE(Preferences::savePreferences(settings));
    const QByteArray before = readText(Preferences::preferencesPath());

    // A file size limit makes the next, much longer write fail part way, as a full disk would.
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("--line %1 with some words").arg(i);
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
    EXPECT_TRUE(log.contains(QStringLiteral("Could not write the preferences file")));
    EXPECT_EQ(readText(Preferences::preferencesPath()), before);
    EXPECT_EQ(QDir(env.home() + QStringLiteral("/.config")).entryList(QDir::Files).size(), 1);
}
