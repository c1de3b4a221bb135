#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using L = QStringList;

// The typing, clearing and blank-item cases run on the real combo box in the window's test; these
// are the cases it does not reach.
TEST(ExpertListTest, OtherFieldsAndEmptySelectionsLeaveTheListAndRowsStopAtFive)
{
    Settings settings;
    settings.addExpertItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                             QStringLiteral("4"), QStringLiteral("5")});
    settings.selectExpertItem(1);
    settings.setText(Settings::Text::ExpertText, QString());
    settings.expertFieldTextChanged(QString());
    settings.expertFieldTextChanged(QString()); // nothing selected now: nothing more to forget
    settings.setText(Settings::Text::ExpertText, QStringLiteral("-V 4"));
    settings.expertFieldTextChanged(QStringLiteral("%d - %t.mp3")); // another field's editing ended
    EXPECT_EQ(settings.expertItems(),
              (L{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
    settings.expertFieldPoppingUp();
    EXPECT_EQ(settings.expertItems().size(), 5);
    EXPECT_EQ(settings.expertVisibleItems(), 5);
}

TEST(SourceChoiceTest, FolderOrFilesBecomeSourceAndTracks)
{
    QTemporaryDir dir;
    const QString disc = dir.filePath(QStringLiteral("Audio CD"));
    // Only the audio files are tracks: not a cover, a file manager's notes or a folder of scans.
    QDir().mkpath(disc + QStringLiteral("/scans"));
    for (const char* name : {"1 Audio Track.aiff", "2 Audio Track.aiff", "10 Audio Track.aiff", ".TOC.plist",
                             "cover.jpg", ".directory", ".hidden.wav"}) {
        QFile file(disc + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    Settings settings;
    LogCapture log;
    settings.applyChosenSource({disc});
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Not audio tracks, left out of ") + disc +
                                       QStringLiteral(": .directory, .hidden.wav, cover.jpg, scans")});
    EXPECT_EQ(settings.getChosenCDName(), disc);
    EXPECT_EQ(settings.getChosenTracks(),
              (L{QStringLiteral("1 Audio Track.aiff"), QStringLiteral("2 Audio Track.aiff"),
                 QStringLiteral("10 Audio Track.aiff")}));

    settings.applyChosenSource(
        {disc + QStringLiteral("/2 Audio Track.aiff"), disc + QStringLiteral("/1 Audio Track.aiff")});
    EXPECT_EQ(settings.getChosenCDName(), disc);
    // Picked tracks are ripped in the folder's order, whatever order the dialog gave.
    EXPECT_EQ(settings.chosenTracks(),
              (L{QStringLiteral("1 Audio Track.aiff"), QStringLiteral("2 Audio Track.aiff")}));
    settings.applyChosenSource({}); // cancelled
    EXPECT_EQ(settings.getChosenCDName(), disc);
    EXPECT_EQ(settings.chosenTracks().size(), 2);

    settings.applyChosenOutputDirectory(QStringLiteral("/data/Music"));
    EXPECT_EQ(settings.getChosenOutputDirectory(), QStringLiteral("/data/Music/Audio CD"));
    // Tracks picked in one folder mean nothing in another.
    settings.setChosenCDName(dir.path());
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
}
