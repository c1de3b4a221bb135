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
#include <gtest/gtest.h>

namespace {
// The window bound to a session over real track files, long enough that the rip is still encoding
// the first one when the test acts.
class RipSessionBindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_source);
        QDir().mkpath(m_output);
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(
                makeAiff(m_source + QStringLiteral("/%1 Audio Track.aiff").arg(i), 30.0, 300 + 100 * i));
        m_settings.setChosenCDName(m_source);
        m_settings.setOutputDirectory(m_output + QStringLiteral("/Audio CD"));
        m_settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::On);
        m_settings.setCheckState(Settings::Option::SoundAlertWhenFinished, Settings::Off);
        m_settings.setCheckState(Settings::Option::EditTrackInformation, Settings::Off);
        m_settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::Off);
    }

    TestEnvironment m_env;
    const QString m_source = m_env.home() + QStringLiteral("/Audio CD");
    const QString m_output = m_env.home() + QStringLiteral("/out");
    Settings m_settings;
    AppController m_controller{m_settings};
    LAMEProcess m_session{m_settings};
    RipSessionBinding m_binding{m_controller, m_session};
    QProgressBar* m_bar = m_controller.window().findChild<QProgressBar*>(QStringLiteral("trackProgress"));
};
} // namespace

TEST_F(RipSessionBindingTest, ButtonsAndProgressFollowARealRip)
{
    m_controller.startButton()->click();
    ASSERT_TRUE(m_session.isRunning());
    EXPECT_FALSE(m_controller.startButton()->isEnabled());
    EXPECT_TRUE(m_controller.stopButton()->isEnabled());
    EXPECT_TRUE(m_controller.skipButton()->isEnabled());
    EXPECT_EQ(m_bar->maximum(), 3);
    EXPECT_EQ(m_bar->text(), QStringLiteral("0 of 3 tracks done"));

    m_controller.skipButton()->click();
    EXPECT_EQ(m_bar->value(), 1);
    m_controller.stopButton()->click();
    EXPECT_FALSE(m_session.isRunning());
    EXPECT_TRUE(m_controller.startButton()->isEnabled());
    EXPECT_FALSE(m_controller.stopButton()->isEnabled());
    EXPECT_FALSE(m_bar->isTextVisible());
}

TEST_F(RipSessionBindingTest, ClosingTheWindowDuringARipStopsItAndSavesThePreferences)
{
    m_controller.startButton()->click();
    ASSERT_TRUE(m_session.isRunning());
    const QString preferences = Preferences::preferencesPath();
    ASSERT_FALSE(QFileInfo::exists(preferences));

    m_controller.window().close();
    EXPECT_FALSE(m_session.isRunning());
    EXPECT_TRUE(m_settings.getptl().isEmpty());
    const auto saved = Preferences::readDictionary(preferences);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 16);
    EXPECT_EQ(saved->value(QStringLiteral("OutputDirectory")).toString(), m_output);
    EXPECT_EQ(saved->value(QStringLiteral("AudioCDLocation")).toString(), m_source);

    // The release files are still written for what was ripped.
    const QStringList folders = QDir(m_output).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(folders.size(), 1);
    const QStringList made = QDir(m_output + QLatin1Char('/') + folders.first()).entryList(QDir::Files);
    EXPECT_EQ(made.filter(QStringLiteral(".m3u")).size(), 1) << made.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(made.filter(QStringLiteral(".sfv")).size(), 1) << made.join(QLatin1Char(' ')).toStdString();
}
