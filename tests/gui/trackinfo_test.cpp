#include "common/resources.h"
#include "editor/gui/trackinfo.h"
#include "editor/gui/trackwindowcontroller.h"
#include "rip/encoderrun.h"
#include "support/testenvironment.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

QStringList popUpItems(const TrackInfo& editor)
{
    QStringList items;
    const QComboBox* popUp = editor.trackWindowController()->genrePopUp();
    for (int i = 0; i < popUp->count(); ++i)
        items.append(popUp->itemText(i));
    return items;
}

// Runs whileShown inside the editor's modal loop, then closes the window with button.
void display(TrackInfo& editor, const Album& album, const std::function<void()>& whileShown,
             QAbstractButton* button)
{
    QTimer::singleShot(0, &editor, [&] {
        EXPECT_TRUE(editor.trackWindowController()->isVisible());
        whileShown();
        button->click();
    });
    editor.displayTrackInfo(album);
    EXPECT_FALSE(editor.trackWindowController()->isVisible());
}

Album sampleAlbum()
{
    Album album;
    album.setArtist(u"AC/DC"_qs);
    album.setTitle(u"Live: 1992"_qs);
    album.setGenre(u"Rock"_qs);
    album.addTrack(Track::trackWithArtist(u"AC/DC"_qs, u"Thunder/Struck"_qs, 3));
    album.addTrack(Track::trackWithArtist(u"Guest"_qs, u"Jailbreak"_qs, 7));
    return album;
}

// Every test but the real-encoder one runs without an encoder and feeds the genre output itself.
class TrackInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Resources::setResourceDirectory(m_noEncoder.path());
        m_editor = std::make_unique<TrackInfo>(&m_mainWindow);
        m_window = m_editor->trackWindowController();
    }
    void feedGenres(const QList<QByteArray>& chunks)
    {
        for (const QByteArray& chunk : chunks)
            m_editor->getLAMEGenreData(chunk);
        m_editor->genreOutputEnded(true, QString());
    }

    TestEnvironment m_environment;
    LogCapture m_log;
    QTemporaryDir m_noEncoder;
    QWidget m_mainWindow;
    std::unique_ptr<TrackInfo> m_editor;
    TrackWindowController* m_window = nullptr;
};

} // namespace

TEST_F(TrackInfoTest, GenreOutputIsParsedAtItsEndAndTheAlbumsGenreSurvivesNoList)
{
    // No encoder: the album's own genre stays choosable.
    EXPECT_TRUE(m_log.contains(u"No genre list"_qs));
    Album album = sampleAlbum();
    album.setGenre(u"Newage"_qs);
    display(
        *m_editor, album, [] {}, m_window->okButton());
    EXPECT_EQ(m_editor->getEditedInformation().getGenre(), u"Newage"_qs);

    // A line split across chunks, blank lines, punctuation and digits in names, a tail of no letters.
    m_editor->getLAMEGenreData(" 0 Blues\n 1 Clas");
    m_editor->getLAMEGenreData("sic Rock\n\n");
    EXPECT_EQ(popUpItems(*m_editor).size(), 1);
    feedGenres({"  2 Rock & Roll 2\n", "17 Rock\n\n 3 ", "\n"});
    EXPECT_EQ(m_editor->genreString(),
              u" 0 Blues\n 1 Classic Rock\n\n  2 Rock & Roll 2\n17 Rock\n\n 3 \n"_qs);
    EXPECT_EQ(popUpItems(*m_editor),
              (QStringList{u"Blues"_qs, u"Classic Rock"_qs, u"Rock & Roll 2"_qs, u"Rock"_qs}));
    EXPECT_EQ(m_window->genrePopUp()->currentIndex(), 0);
    EXPECT_FALSE(m_window->genrePopUp()->isEditable());
}

TEST_F(TrackInfoTest, AFailedGenreRunPrintsAMessageNotGenres)
{
    m_editor->getLAMEGenreData("usage: lame [options]\n  -b bitrate\n");
    m_editor->genreOutputEnded(false, u"the encoder exited with status 1"_qs);
    EXPECT_TRUE(popUpItems(*m_editor).isEmpty());
    EXPECT_TRUE(m_log.contains(u"exited with status 1"_qs));
}

TEST_F(TrackInfoTest, SheetShowsTheAlbumAndOkBuildsAFreshStrippedAlbum)
{
    feedGenres({" 0 Blues\n 1 Jazz\n 17 Rock\n"});
    EXPECT_EQ(m_window->parentWidget(), &m_mainWindow);
    EXPECT_EQ(m_window->windowModality(), Qt::WindowModal);
    display(
        *m_editor, sampleAlbum(),
        [&] {
            EXPECT_EQ(m_editor->getAlbumArtist(), u"AC/DC"_qs);
            EXPECT_EQ(m_editor->getAlbumTitle(), u"Live: 1992"_qs);
            EXPECT_EQ(m_editor->getGenre(), u"Rock"_qs);
            EXPECT_EQ(m_editor->getYear(), u""_qs);
            // Rows are numbered by position, whatever the tracks carried.
            EXPECT_EQ(m_editor->numberOfRowsInTableView(), 2);
            EXPECT_EQ(m_editor->tableView(u"trackNum"_qs, 1), u"2"_qs);
            // Edits through the table's model, as the cell editor makes them.
            QAbstractItemModel* model = m_window->tableView()->model();
            model->setData(model->index(1, 1), u"Jail/break: Live"_qs);
            model->setData(model->index(1, 0), u"9"_qs);
            m_editor->tableView(u"ignored"_qs, u"otherColumn"_qs, 0);
            m_window->yearField()->setText(u"1992"_qs);
            m_window->genrePopUp()->setCurrentIndex(1);
        },
        m_window->okButton());

    EXPECT_TRUE(m_editor->userDidEditInformation());
    const Album edited = m_editor->getEditedInformation();
    EXPECT_EQ(edited.getArtist(), u"AC-DC"_qs);
    EXPECT_EQ(edited.getTitle(), u"Live- 1992"_qs);
    EXPECT_EQ(edited.getYear(), u"1992"_qs);
    EXPECT_EQ(edited.getGenre(), u"Jazz"_qs);
    EXPECT_EQ(edited.getComments(), u""_qs);
    EXPECT_EQ(edited.getTracks(),
              (QList<Track>{Track::trackWithArtist(u"AC-DC"_qs, u"Thunder-Struck"_qs, 1),
                            Track::trackWithArtist(u"Guest"_qs, u"Jail-break- Live"_qs, 9)}));
    // The table keeps what the user typed.
    EXPECT_EQ(m_editor->tableView(u"trackTitle"_qs, 1), u"Jail/break: Live"_qs);
    EXPECT_EQ(m_editor->tableView(u"otherColumn"_qs, 0), QString());
}

TEST_F(TrackInfoTest, OnlyOkConfirmsAndAnUnmatchedGenreKeepsTheSelection)
{
    feedGenres({" 0 Blues\n 1 Jazz\n 17 Rock\n"});
    Album album = sampleAlbum();
    album.setGenre(u"Jazz"_qs);
    display(
        *m_editor, album, [&] { m_editor->tableView(u"X"_qs, u"trackTitle"_qs, 0); },
        m_window->cancelButton());
    EXPECT_FALSE(m_editor->userDidEditInformation());
    // The rows stay as the user left them.
    EXPECT_EQ(m_editor->tableView(u"trackTitle"_qs, 0), u"X"_qs);

    album.setGenre(u"rock"_qs); // no item matches exactly
    display(
        *m_editor, album, [&] { EXPECT_EQ(m_editor->getGenre(), u"Jazz"_qs); }, m_window->okButton());
    EXPECT_TRUE(m_editor->userDidEditInformation());
    EXPECT_EQ(m_editor->getEditedInformation().getGenre(), u"Jazz"_qs);
    EXPECT_EQ(popUpItems(*m_editor).size(), 3);

    // Escape counts as cancelling.
    QTimer::singleShot(0, m_window, [&] { m_window->reject(); });
    m_editor->displayTrackInfo(album);
    EXPECT_FALSE(m_editor->userDidEditInformation());
}

TEST_F(TrackInfoTest, SynchArtistAndAnOpenCellEditorReachTheRows)
{
    feedGenres({" 17 Rock\n"});
    display(
        *m_editor, sampleAlbum(),
        [&] {
            m_window->cellAtIndex(0)->setText(u"Band"_qs);
            m_window->synchArtistButton()->click();
            EXPECT_EQ(m_editor->tableView(u"trackArtist"_qs, 0), u"Band"_qs);
            EXPECT_EQ(m_editor->tableView(u"trackArtist"_qs, 1), u"Band"_qs);
            m_window->cellAtIndex(0)->clear();
            m_editor->synchArtist();
            EXPECT_EQ(m_editor->tableView(u"trackArtist"_qs, 1), u""_qs);
            EXPECT_EQ(m_editor->tableView(u"trackTitle"_qs, 1), u"Jailbreak"_qs);
            // A title still being typed when OK is pressed.
            QTableView* view = m_window->tableView();
            view->edit(view->model()->index(0, 1));
            auto* cellEditor = qobject_cast<QLineEdit*>(view->indexWidget(view->model()->index(0, 1)));
            ASSERT_NE(cellEditor, nullptr);
            cellEditor->setText(u"Typed"_qs);
        },
        m_window->okButton());
    EXPECT_EQ(m_editor->tableView(u"trackTitle"_qs, 0), u"Typed"_qs);
    EXPECT_TRUE(m_editor->userDidEditInformation());
}

TEST(TrackInfoRealEncoder, ListsEveryGenreLamePrintsInItsOrder)
{
    TestEnvironment environment;
    QWidget mainWindow;
    TrackInfo editor(&mainWindow);
    QSignalSpy done(&editor, &TrackInfo::genreListDone);
    if (!editor.isGenreListDone()) {
        ASSERT_TRUE(done.wait(60000));
    }

    // What lame prints, read independently: "<number> <name>" per line on standard error.
    QProcess lame;
    lame.start(EncoderRun::encoderPath(), {u"--genre-list"_qs});
    ASSERT_TRUE(lame.waitForFinished(60000));
    const QString printed = QString::fromLatin1(lame.readAllStandardError());
    QStringList expected;
    static const QRegularExpression line(u"^\\s*\\d+ (.+)$"_qs, QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(printed); it.hasNext();)
        expected.append(it.next().captured(1));
    ASSERT_GT(expected.size(), 100);

    EXPECT_EQ(popUpItems(editor), expected);
    EXPECT_EQ(popUpItems(editor).first(), u"A Cappella"_qs);
    EXPECT_EQ(editor.getGenre(), u"A Cappella"_qs);
}
