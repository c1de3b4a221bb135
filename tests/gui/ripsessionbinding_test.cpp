#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsessionbinding.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "rip/lameprocess.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// A source folder of real track files, long enough that a rip is still encoding the first one
// when the test acts.
QString makeSource(const QString& root, int tracks)
{
    const QString source = root + QStringLiteral("/Audio CD");
    QDir().mkpath(source);
    for (int i = 1; i <= tracks; ++i)
        EXPECT_TRUE(makeAiff(source + QStringLiteral("/%1 Audio Track.aiff").arg(i), 30.0, 300 + 100 * i));
    return source;
}

void prepare(Settings& settings, const QString& source, const QString& output)
{
    settings.setChosenCDName(source);
    settings.setOutputDirectory(output + QStringLiteral("/Audio CD"));
    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::On);
    settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::Off);
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::Off);
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::Off);
}
} // namespace

TEST(RipSessionBindingTest, ButtonsAndProgressFollowARealRip)
{
    TestEnvironment env;
    const QString source = makeSource(env.home(), 2);
    Settings settings;
    AppController controller(settings);
    prepare(settings, source, env.home() + QStringLiteral("/out"));
    LAMEProcess session(settings);
    RipSessionBinding binding(controller, session);
    auto* bar = controller.window().findChild<QProgressBar*>(QStringLiteral("trackProgress"));

    controller.startButton()->click();
    ASSERT_TRUE(session.isRunning());
    EXPECT_FALSE(controller.startButton()->isEnabled());
    EXPECT_TRUE(controller.stopButton()->isEnabled());
    EXPECT_TRUE(controller.skipButton()->isEnabled());
    EXPECT_EQ(bar->maximum(), 2);
    EXPECT_EQ(bar->text(), QStringLiteral("0 of 2 tracks done"));

    controller.skipButton()->click();
    EXPECT_EQ(bar->value(), 1);
    controller.stopButton()->click();
    EXPECT_FALSE(session.isRunning());
    EXPECT_TRUE(controller.startButton()->isEnabled());
    EXPECT_FALSE(controller.stopButton()->isEnabled());
    EXPECT_FALSE(bar->isTextVisible());
}

TEST(RipSessionBindingTest, ClosingTheWindowDuringARipStopsItAndSavesThePreferences)
{
    TestEnvironment env;
    const QString source = makeSource(env.home(), 3);
    const QString output = env.home() + QStringLiteral("/out");
    QDir().mkpath(output);
    Settings settings;
    AppController controller(settings);
    prepare(settings, source, output);
    LAMEProcess session(settings);
    RipSessionBinding binding(controller, session);

    controller.startButton()->click();
    ASSERT_TRUE(session.isRunning());
    const QString preferences = Preferences::preferencesPath();
    ASSERT_FALSE(QFileInfo::exists(preferences));

    controller.window().close();
    EXPECT_FALSE(session.isRunning());
    EXPECT_TRUE(settings.getptl().isEmpty());
    ASSERT_TRUE(QFileInfo::exists(preferences));
    const auto saved = Preferences::readDictionary(preferences);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 16);
    EXPECT_EQ(saved->value(QStringLiteral("OutputDirectory")).toString(), output);
    EXPECT_EQ(saved->value(QStringLiteral("AudioCDLocation")).toString(), source);

    // The release files are still written for what was ripped.
    const QStringList folders = QDir(output).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(folders.size(), 1);
    const QStringList made = QDir(output + QLatin1Char('/') + folders.first()).entryList(QDir::Files);
    EXPECT_FALSE(made.filter(QStringLiteral(".m3u")).isEmpty()) << made.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(made.filter(QStringLiteral(".sfv")).isEmpty()) << made.join(QLatin1Char(' ')).toStdString();
}
