// The track editor: the genre list from the encoder's output, the sheet and what OK hands back,
// artists that follow the album's, access keys; and a rip with the editor on.
#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "common/resources.h"
#include "editor/gui/trackinfo.h"
#include "editor/gui/trackwindowcontroller.h"
#include "rip/lameprocess.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
QStringList popUpItems(const TrackInfo& editor)
{
    QStringList items;
    for (int i = 0; i < editor.trackWindowController()->genrePopUp()->count(); ++i)
        items.append(editor.trackWindowController()->genrePopUp()->itemText(i));
    return items;
}

// An editor without an encoder: the tests feed the genre output themselves.
class TrackInfoTest : public ::testing::Test {
protected:
    void feedGenres(const QList<QByteArray>& chunks)
    {
        for (const QByteArray& chunk : chunks)
            m_editor.getLAMEGenreData(chunk);
        m_editor.genreOutputEnded(true, QString());
    }
    // Runs whileShown inside the editor's modal loop, then closes the window with button.
    void display(
        const Album& album, QAbstractButton* button, const std::function<void()>& whileShown = [] {})
    {
        QTimer::singleShot(0, &m_editor, [&] {
            whileShown();
            button->click();
        });
        m_editor.displayTrackInfo(album);
        EXPECT_FALSE(m_window->isVisible());
    }

    TestEnvironment m_environment;
    LogCapture m_log;
    QTemporaryDir m_noEncoder;
    ScopedPath m_noLameOnPath{m_noEncoder.path()};
    QWidget m_mainWindow;
    TrackInfo m_editor{(Resources::setResourceDirectory(m_noEncoder.path()), &m_mainWindow)};
    TrackWindowController* m_window = m_editor.trackWindowController();
    Album m_album = [] {
        Album album;
        album.setArtist(u"AC/DC"_qs);
        album.setTitle(u"Live: 1992"_qs);
        album.setGenre(u"Rock"_qs);
        album.addTrack(Track::trackWithArtist(u"AC/DC"_qs, u"Thunder/Struck"_qs, 3));
        album.addTrack(Track::trackWithArtist(u"Guest"_qs, u"Jailbreak"_qs, 7));
        return album;
    }();
};
} // namespace

// Nothing is parsed before the output ends (a line may be split across chunks); a failed run
// prints a message, not genres; without a list the album's genre survives.
TEST_F(TrackInfoTest, GenreOutputIsParsedAtItsEndAndOnlyWhenTheRunSucceeded)
{
    EXPECT_TRUE(m_log.contains(u"No genre list"_qs));
    m_album.setGenre(u"Newage"_qs);
    display(m_album, m_window->okButton());
    EXPECT_EQ(m_editor.getEditedInformation().getGenre(), u"Newage"_qs);

    m_editor.getLAMEGenreData(" 0 Blues\n 1 Clas");
    EXPECT_EQ(popUpItems(m_editor).size(), 1);
    feedGenres({"sic Rock\n\n", "17 Rock\n"});
    const QStringList genres{u"Blues"_qs, u"Classic Rock"_qs, u"Rock"_qs};
    EXPECT_EQ(popUpItems(m_editor), genres);

    m_editor.getLAMEGenreData("lame: bad option\n 5 Bogus\n");
    m_editor.genreOutputEnded(false, u"the encoder exited with status 1"_qs);
    EXPECT_EQ(popUpItems(m_editor), genres);
    EXPECT_TRUE(m_log.contains(u"exited with status 1"_qs));
    EXPECT_FALSE(m_window->genrePopUp()->isEditable());
}

TEST_F(TrackInfoTest, SheetShowsTheAlbumAndOnlyOkBuildsAFreshAlbumOfWhatWasTyped)
{
    feedGenres({" 0 Blues\n 1 Jazz\n 17 Rock\n"});
    EXPECT_EQ(m_window->windowModality(), Qt::WindowModal);
    // Where the titles came from, and the disc's place in its set, have no field: they stay.
    m_album.setOrigin(AlbumOrigin::musicBrainz(u"8c0e5a52-0000-4000-8000-000000000001"_qs, u"XE"_qs));
    m_album.setDiscNumber(u"2/2"_qs);
    display(m_album, m_window->okButton(), [&] {
        // Rows are numbered by position, whatever the tracks carried.
        EXPECT_EQ(m_editor.numberOfRowsInTableView(), 2);
        EXPECT_EQ(m_editor.tableView(u"trackNum"_qs, 1), u"2"_qs);
        // Edits through the table's model, as the cell editor makes them (the album fields and
        // the artist button are the rip-with-editor test's).
        QAbstractItemModel* model = m_window->tableView()->model();
        model->setData(model->index(1, 1), u"Jail/break: Live"_qs);
        model->setData(model->index(1, 0), u"9"_qs);
        m_window->yearField()->setText(u"1992"_qs);
        m_window->genrePopUp()->setCurrentIndex(1);
        // A title still being typed when OK is pressed.
        m_window->tableView()->edit(model->index(0, 1));
        auto* cellEditor = qobject_cast<QLineEdit*>(m_window->tableView()->indexWidget(model->index(0, 1)));
        ASSERT_NE(cellEditor, nullptr);
        cellEditor->setText(u"Typed: 1"_qs);
    });
    EXPECT_TRUE(m_editor.userDidEditInformation());
    const Album edited = m_editor.getEditedInformation();
    // Exactly as typed: "/" and ":" are the user's, the tags keep them.
    EXPECT_EQ(edited.getArtist(), u"AC/DC"_qs);
    EXPECT_EQ(edited.getTitle(), u"Live: 1992"_qs);
    EXPECT_EQ(edited.getYear(), u"1992"_qs);
    EXPECT_EQ(edited.getGenre(), u"Jazz"_qs);
    EXPECT_EQ(edited.getOrigin(), m_album.getOrigin());
    EXPECT_EQ(edited.getDiscNumber(), u"2/2"_qs);
    EXPECT_EQ(edited.getTracks(),
              (QList<Track>{Track::trackWithArtist(u"AC/DC"_qs, u"Typed: 1"_qs, 1),
                            Track::trackWithArtist(u"Guest"_qs, u"Jail/break: Live"_qs, 9)}));

    // The MusicBrainz ids have no field either; an artist's id stays only with the artist it names.
    m_album.getTracks()[0].setRecordingId(u"rec-1"_qs);
    m_album.getTracks()[0].setArtistId(u"id-acdc"_qs);
    m_album.getTracks()[1].setArtistId(u"id-guest"_qs);
    AlbumOrigin origin = m_album.getOrigin();
    origin.albumArtistId = u"id-acdc"_qs;
    m_album.setOrigin(origin);
    display(m_album, m_window->okButton(), [&] { m_window->cellAtIndex(0)->setText(u"AC/DC & Friends"_qs); });
    const Album renamed = m_editor.getEditedInformation();
    EXPECT_TRUE(renamed.getOrigin().albumArtistId.isEmpty());
    EXPECT_EQ(renamed.getTracks()[0].getRecordingId(), u"rec-1"_qs);
    EXPECT_TRUE(renamed.getTracks()[0].getArtistId().isEmpty());
    EXPECT_EQ(renamed.getTracks()[1].getArtistId(), u"id-guest"_qs);
    display(m_album, m_window->okButton());
    EXPECT_EQ(m_editor.getEditedInformation().getOrigin(), origin);
    EXPECT_EQ(m_editor.getEditedInformation().getTracks()[0].getArtistId(), u"id-acdc"_qs);

    // A genre the list lacks (here by case) is offered and kept; the user's own choice still wins.
    for (const QString& genre : {u"Neue Deutsche Welle"_qs, u"rock"_qs, QString()}) {
        m_album.setGenre(genre);
        display(m_album, m_window->okButton());
        EXPECT_EQ(m_editor.getEditedInformation().getGenre(), genre);
        EXPECT_EQ(popUpItems(m_editor).size(), 4);
    }
    display(m_album, m_window->okButton(), [&] { m_window->genrePopUp()->setCurrentIndex(3); });
    EXPECT_EQ(m_editor.getEditedInformation().getGenre(), u"Rock"_qs);
    m_album.setGenre(u"Jazz"_qs);
    display(m_album, m_window->okButton());
    EXPECT_EQ(popUpItems(m_editor), (QStringList{u"Blues"_qs, u"Jazz"_qs, u"Rock"_qs}));
    display(m_album, m_window->cancelButton());
    EXPECT_FALSE(m_editor.userDidEditInformation());
    QTimer::singleShot(0, m_window, [&] { m_window->reject(); }); // Escape
    m_editor.displayTrackInfo(m_album);
    EXPECT_FALSE(m_editor.userDidEditInformation());
}

// An album nobody identified: the fields show what names will use, as placeholders only, so OK
// without typing hands back nothing that nobody said.
TEST_F(TrackInfoTest, PlaceholdersAreShownButNeverHandedBack)
{
    feedGenres({" 0 Blues\n 17 Rock\n"});
    const Album unknown = Album::defaultAlbumWithTrackTitles({u"1 Audio Track"_qs, u"2 Audio Track"_qs});
    display(unknown, m_window->okButton(), [&] {
        EXPECT_EQ(m_window->cellAtIndex(0)->placeholderText(), Album::placeholderArtist());
        EXPECT_EQ(m_window->cellAtIndex(1)->placeholderText(), Album::placeholderTitle());
        EXPECT_TRUE(m_window->cellAtIndex(0)->text().isEmpty());
        QAbstractItemModel* model = m_window->tableView()->model();
        EXPECT_TRUE(model->data(model->index(0, 2)).toString().isEmpty());
        m_window->tableView()->edit(model->index(0, 2));
        auto* cellEditor = qobject_cast<QLineEdit*>(m_window->tableView()->indexWidget(model->index(0, 2)));
        ASSERT_NE(cellEditor, nullptr);
        EXPECT_EQ(cellEditor->placeholderText(), Album::placeholderTrackArtist());
        EXPECT_TRUE(cellEditor->text().isEmpty());
    });
    const Album edited = m_editor.getEditedInformation();
    for (const QString& field :
         {edited.getArtist(), edited.getTitle(), edited.getYear(), edited.getGenre(), edited.getComments()})
        EXPECT_TRUE(field.isEmpty()) << field.toStdString();
    ASSERT_EQ(edited.getTracks().size(), 2);
    for (const Track& track : edited.getTracks())
        EXPECT_TRUE(track.getArtist().isEmpty()) << track.getArtist().toStdString();
    EXPECT_EQ(edited.getTracks()[1].getTitle(), u"2 Audio Track"_qs);
}

// Typing an album artist carries every track that has no artist of its own along; a track artist
// set on its own stays, unless the user asks for the album artist everywhere.
TEST_F(TrackInfoTest, TrackArtistsFollowTheAlbumArtistUnlessSetOnTheirOwn)
{
    Album various;
    various.setArtist(u"Holdout Quartet"_qs);
    for (const QString& artist : {u"Holdout Quartet"_qs, u"Guest/Star"_qs, QString(), u"Artist Name"_qs})
        various.addTrack(Track::trackWithArtist(artist, u"Song"_qs, 1));
    const auto artists = [&] {
        QStringList rows;
        for (int row = 0; row < m_editor.numberOfRowsInTableView(); ++row)
            rows << m_editor.tableView(u"trackArtist"_qs, row);
        return rows;
    };
    display(various, m_window->okButton(), [&] {
        EXPECT_EQ(artists(),
                  QStringList({u"Holdout Quartet"_qs, u"Guest/Star"_qs, u""_qs, u"Artist Name"_qs}));
        QAbstractItemModel* model = m_window->tableView()->model();
        model->setData(model->index(2, 2), u"Own: Artist"_qs);
        for (const QString& typed : {u"T"_qs, u"Th"_qs, u"The Holdout/Quartet"_qs})
            m_window->cellAtIndex(0)->setText(typed);
    });
    EXPECT_EQ(artists(), QStringList({u"The Holdout/Quartet"_qs, u"Guest/Star"_qs, u"Own: Artist"_qs,
                                      u"The Holdout/Quartet"_qs}));
    EXPECT_EQ(m_editor.getEditedInformation().getTracks()[0].getArtist(), u"The Holdout/Quartet"_qs);

    // Showing the next album is no change of its artist; the button still overrides every row.
    display(various, m_window->cancelButton(), [&] {
        EXPECT_EQ(artists()[1], u"Guest/Star"_qs);
        m_window->cellAtIndex(0)->clear();
        EXPECT_EQ(artists(), QStringList({u""_qs, u"Guest/Star"_qs, u""_qs, u""_qs}));
        m_window->cellAtIndex(0)->setText(u"Solo"_qs);
        m_window->synchArtistButton()->click();
        EXPECT_EQ(artists(), QStringList(4, u"Solo"_qs));
    });
}

// Every labelled field and every button of the window's own has an access key of its own (OK
// and Cancel are the platform's, with whatever keys it gives them); Return is OK.
TEST_F(TrackInfoTest, AccessKeysAreUniqueAndReturnIsOk)
{
    QStringList texts;
    for (const QLabel* label : m_window->findChildren<QLabel*>())
        texts << label->text();
    for (const QPushButton* button : m_window->findChildren<QPushButton*>()) {
        if (button != m_window->okButton() && button != m_window->cancelButton())
            texts << button->text();
    }
    QSet<QKeySequence> keys;
    for (const QString& text : texts) {
        EXPECT_FALSE(QKeySequence::mnemonic(text).isEmpty()) << text.toStdString();
        keys.insert(QKeySequence::mnemonic(text));
    }
    EXPECT_EQ(keys.size(), texts.size());
    EXPECT_EQ(texts.size(), 6);

    QTimer::singleShot(0, m_window, [&] { QTest::keyClick(m_window->yearField(), Qt::Key_Return); });
    m_editor.displayTrackInfo(m_album);
    EXPECT_TRUE(m_editor.userDidEditInformation());
}

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
    // Only the names lose the "/"; the tags keep what was typed.
    EXPECT_EQ(id3Summary(folder + u"/01 - Edited-Song.mp3"_qs),
              u"Edited/Song|The Band|First/Album|Jazz|0|1"_qs);

    // Closing the main window (Quit, a signal) declines the open editor.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_FALSE(QFileInfo::exists(Preferences::preferencesPath()));
    ASSERT_TRUE(rip([&] { controller.window().close(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(Preferences::preferencesPath()));
}
