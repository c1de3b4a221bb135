#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using L = QStringList;

TEST(ExpertListTest, TypingALineAndLeavingRemembersItOnce)
{
    Settings settings;
    settings.expertFieldPoppingUp();
    EXPECT_EQ(settings.expertItems(), L{QString()});
    EXPECT_EQ(settings.expertVisibleItems(), 2);
    settings.expertFieldPoppingUp(); // the blank item is already last
    EXPECT_EQ(settings.expertItems(), L{QString()});
    EXPECT_EQ(settings.expertVisibleItems(), 2);

    settings.setText(Settings::Text::ExpertText, QStringLiteral("-V 2"));
    settings.expertFieldTextChanged(QStringLiteral("-V 2"));
    EXPECT_EQ(settings.expertItems(), L{QStringLiteral("-V 2")}); // the blank item made way
    settings.expertFieldTextChanged(QStringLiteral("-V 2"));
    EXPECT_EQ(settings.expertItems(), L{QStringLiteral("-V 2")});

    // Another field ending its editing leaves the list alone.
    settings.setText(Settings::Text::ExpertText, QStringLiteral("-V 4"));
    settings.expertFieldTextChanged(QStringLiteral("%d - %t.mp3"));
    EXPECT_EQ(settings.expertItems(), L{QStringLiteral("-V 2")});
}

TEST(ExpertListTest, ClearingARememberedLineRemovesIt)
{
    Settings settings;
    settings.addExpertItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    EXPECT_EQ(settings.expertVisibleItems(), 4);
    settings.selectExpertItem(1);
    EXPECT_EQ(settings.text(Settings::Text::ExpertText), QStringLiteral("b"));
    settings.setText(Settings::Text::ExpertText, QString());
    settings.expertFieldTextChanged(QString());
    EXPECT_EQ(settings.expertItems(), (L{QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(settings.expertSelectedIndex(), -1);
    // Nothing selected: clearing removes nothing.
    settings.expertFieldTextChanged(QString());
    EXPECT_EQ(settings.expertItems().size(), 2);
}

TEST(ExpertListTest, VisibleRowsGrowToFiveAtMost)
{
    Settings settings;
    settings.addExpertItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                             QStringLiteral("4"), QStringLiteral("5")});
    EXPECT_EQ(settings.expertVisibleItems(), 5);
    settings.expertFieldPoppingUp();
    EXPECT_EQ(settings.expertItems().size(), 6);
    EXPECT_EQ(settings.expertVisibleItems(), 5);
}

TEST(SourceChoiceTest, FolderOrFilesBecomeSourceAndTracks)
{
    QTemporaryDir dir;
    const QString disc = dir.filePath(QStringLiteral("Audio CD"));
    QDir().mkpath(disc);
    for (const char* name :
         {"1 Audio Track.aiff", "2 Audio Track.aiff", "10 Audio Track.aiff", ".TOC.plist"}) {
        QFile file(disc + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    Settings settings;
    settings.applyChosenSource({disc});
    EXPECT_EQ(settings.getChosenCDName(), disc);
    EXPECT_EQ(settings.chosenTracks().size(), 4);
    EXPECT_EQ(settings.getChosenTracks(),
              (L{QStringLiteral("1 Audio Track.aiff"), QStringLiteral("2 Audio Track.aiff"),
                 QStringLiteral("10 Audio Track.aiff")}));

    settings.applyChosenSource(
        {disc + QStringLiteral("/2 Audio Track.aiff"), disc + QStringLiteral("/1 Audio Track.aiff")});
    EXPECT_EQ(settings.getChosenCDName(), disc);
    EXPECT_EQ(settings.chosenTracks(),
              (L{QStringLiteral("2 Audio Track.aiff"), QStringLiteral("1 Audio Track.aiff")}));

    // A file first: the folder that follows is taken as one more track name.
    settings.applyChosenSource({disc + QStringLiteral("/1 Audio Track.aiff"), dir.path()});
    EXPECT_EQ(settings.chosenTracks().last(), QFileInfo(dir.path()).fileName());

    settings.applyChosenSource({}); // cancelled
    EXPECT_EQ(settings.getChosenCDName(), disc);

    settings.applyChosenOutputDirectory(QStringLiteral("/data/Music"));
    EXPECT_EQ(settings.getChosenOutputDirectory(), QStringLiteral("/data/Music/Audio CD"));
    settings.emptyChosenTracksArray();
    settings.emptyChosenTracksArray();
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
}
