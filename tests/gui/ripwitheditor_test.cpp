#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "editor/gui/trackinfo.h"
#include "editor/gui/trackwindowcontroller.h"
#include "rip/lameprocess.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

// A one-track rip with the editor on: cancelling, or quitting while the editor is open, makes
// nothing (and quitting saves the preferences); an edited title reaches file and tag.
TEST(RipWithEditorTest, CancelOrQuitMakesNothingAndAnEditedTitleReachesTheFileNameAndTheTag)
{
    TestEnvironment env;
    const QString cd = env.home() + u"/cd"_qs;
    const QString out = env.home() + u"/music"_qs;
    ASSERT_TRUE(QDir().mkpath(cd) && QDir().mkpath(out));
    ASSERT_TRUE(makeAiff(cd + u"/1 Audio Track.aiff"_qs, 1.0));
    Settings settings;
    AppController controller(settings);
    settings.setChosenCDName(cd);
    settings.setOutputDirectory(out);
    settings.setText(Settings::Text::NameStyle, u"%d - %t.mp3"_qs);
    settings.setCheckState(Settings::Option::AddID3Tags, Settings::On);
    settings.setCheckState(Settings::Option::EditTrackInformation, Settings::On);
    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::Off);
    TrackInfo editor(&controller.window());
    TrackWindowController* window = editor.trackWindowController();
    LAMEProcess session(settings);
    session.cdFinder().lookNowhere();
    session.setTrackEditor(&editor);
    QSignalSpy genres(&editor, &TrackInfo::genreListDone);
    ASSERT_TRUE(editor.isGenreListDone() || genres.wait(60000));
    // Starts a rip with whileShown run inside the editor; true when the session ended.
    auto rip = [&](const std::function<void()>& whileShown) {
        QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
        QTimer::singleShot(0, &editor, whileShown);
        // Not closed by whileShown: fail rather than hang.
        QTimer guard;
        guard.callOnTimeout(window, [&] {
            ADD_FAILURE() << "the editor stayed open";
            window->reject();
        });
        guard.start(60000);
        session.runEncoder();
        guard.stop();
        return !session.isRunning() || QTest::qWaitFor([&] { return ended.count() > 0; }, 120000);
    };

    ASSERT_TRUE(rip([&] { window->cancelButton()->click(); }));
    EXPECT_TRUE(session.isStartEnabled());
    EXPECT_TRUE(QDir(out).isEmpty());

    ASSERT_TRUE(rip([&] {
        EXPECT_EQ(editor.tableView(u"trackTitle"_qs, 0), u"1 Audio Track"_qs);
        window->cellAtIndex(0)->setText(u"The Band"_qs);
        window->cellAtIndex(1)->setText(u"First/Album"_qs);
        window->synchArtistButton()->click();
        QAbstractItemModel* model = window->tableView()->model();
        model->setData(model->index(0, 1), u"Edited/Song"_qs);
        window->genrePopUp()->setCurrentText(u"Jazz"_qs);
        window->okButton()->click();
    }));
    const QString folder = out + u"/The Band - First-Album"_qs;
    ASSERT_EQ(QDir(folder).entryList(QDir::Files), QStringList{u"01 - Edited-Song.mp3"_qs});
    TagLib::MPEG::File file(QFile::encodeName(folder + u"/01 - Edited-Song.mp3"_qs).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    ASSERT_NE(tag, nullptr);
    // Only the names lose the "/"; the tags keep what was typed.
    EXPECT_EQ(tag->title().to8Bit(true), "Edited/Song");
    EXPECT_EQ(tag->artist().to8Bit(true), "The Band");
    EXPECT_EQ(tag->album().to8Bit(true), "First/Album");
    EXPECT_EQ(tag->genre().to8Bit(true), "Jazz");

    // Closing the main window (Quit, a signal) declines the open editor.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_FALSE(QFileInfo::exists(Preferences::preferencesPath()));
    ASSERT_TRUE(rip([&] { controller.window().close(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(Preferences::preferencesPath()));
}
