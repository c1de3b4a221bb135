#include "settings/settings.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

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
    // Leaving the field remembers the typed line once, in place of a blank line.
    settings.setExpertItems(settings.expertItems() + L{QString()});
    settings.expertFieldTextChanged(u"-V 4"_qs);
    settings.expertFieldTextChanged(u"-V 4"_qs);
    EXPECT_EQ(settings.expertItems(), (L{u"1"_qs, u"3"_qs, u"4"_qs, u"5"_qs, u"-V 4"_qs}));
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
