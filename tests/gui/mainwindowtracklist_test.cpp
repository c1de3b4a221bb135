// The main window as a user meets it: the disc listed before Start, access keys that do not
// clash, the summary at the end of a rip.
#include "app/gui/appcontroller.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsummarybox.h"
#include "app/gui/tracklistbinding.h"
#include "rip/disclisting.h"
#include "rip/lameprocess.h"
#include "rip/tracklistmodel.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Every access key of the window's controls and menu titles, with who has it.
QMultiMap<QString, QString> accessKeys(QWidget& window)
{
    QMultiMap<QString, QString> keys;
    auto add = [&keys](const QString& text, const QString& owner) {
        if (const QKeySequence key = QKeySequence::mnemonic(text); !key.isEmpty())
            keys.insert(key.toString(), owner);
    };
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        add(button->text(), button->objectName());
    for (QLabel* label : window.findChildren<QLabel*>())
        add(label->text(), label->objectName());
    for (QGroupBox* group : window.findChildren<QGroupBox*>())
        add(group->title(), group->objectName());
    for (QTabWidget* tabs : window.findChildren<QTabWidget*>())
        for (int tab = 0; tab < tabs->count(); ++tab)
            add(tabs->tabText(tab), tabs->objectName());
    if (auto* main = qobject_cast<QMainWindow*>(&window))
        for (QAction* menu : main->menuBar()->actions())
            add(menu->text(), menu->text());
    return keys;
}
} // namespace

TEST(MainWindowTest, AccessKeysAreUniqueAndTheMenusHaveTheirFirstLetters)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    const QMultiMap<QString, QString> keys = accessKeys(controller.window());
    for (const QString& key : keys.uniqueKeys())
        EXPECT_EQ(keys.count(key), 1)
            << key.toStdString() << ": " << keys.values(key).join(u',').toStdString();
    EXPECT_EQ(keys.value(s("Alt+F")), s("&File"));
    EXPECT_EQ(keys.value(s("Alt+R")), s("&Rip"));
    EXPECT_EQ(keys.value(s("Alt+H")), s("&Help"));
    EXPECT_EQ(keys.value(s("Alt+S")), s("startButton"));
}

TEST(MainWindowTest, TheDiscIsListedBeforeStart)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString folder = work.path() + s("/Audio CD");
    QDir().mkpath(folder);
    ASSERT_TRUE(writeCDTrack(folder + s("/1 Intro.aiff"), 588 * 75 * 61, true));
    ASSERT_TRUE(writeCDTrack(folder + s("/2 Outro.aiff"), 588 * 75 * 5, true));
    Settings settings;
    AppController controller(settings);
    LAMEProcess session(settings);
    DiscListing listing;
    TrackListBinding binding(controller.window(), settings, listing, session, controller.cdFinder());
    settings.setChosenCDName(folder);
    controller.show();
    MainWindow& window = controller.window();
    auto* table = window.findChild<QTableView*>(s("trackTable"));
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return table->model()->rowCount() == 2 && listing.lengthsKnown(); }, 5000));
    EXPECT_EQ(table->model()->index(0, TrackListModel::LengthColumn).data().toString(), s("1:01"));
    EXPECT_EQ(table->model()->index(1, TrackListModel::TitleColumn).data().toString(), s("2 Outro"));
    EXPECT_TRUE(table->isColumnHidden(TrackListModel::ArtistColumn));
    EXPECT_EQ(window.findChild<QTabWidget*>(s("mainTabs"))->currentWidget()->objectName(), s("tracksTab"));
    // The window shrinks to a laptop's screen; the list takes what it grows by.
    window.resize(700, 400);
    QTest::qWait(50);
    EXPECT_LE(window.height(), 620);
    const int tableHeight = table->height();
    window.resize(700, window.height() + 300);
    QTest::qWait(50);
    EXPECT_GE(table->height(), tableHeight + 250);
    // Edited in the album field, the album is the list's.
    QTest::keyClicks(window.findChild<QLineEdit*>(s("albumArtist")), s("Typed Band"));
    EXPECT_EQ(listing.album().getArtist(), s("Typed Band"));
}

TEST(MainWindowTest, TheSummarySaysHowTheRipEnded)
{
    SessionReport report;
    report.albumFolder = s("/music/Band - Record");
    report.total = report.done = 3;
    EXPECT_EQ(RipSummaryBox::titleFor(report), s("The rip is finished"));
    EXPECT_EQ(RipSummaryBox::textFor(report), s("All 3 tracks are in /music/Band - Record."));
    RipSummaryBox finished(report, nullptr);
    EXPECT_NE(finished.openFolderButton(), nullptr);

    report.done = 1;
    report.skipped = 1;
    report.failures.append(
        {2, s("Song 2"), s("02 - Song 2.mp3"), s("the encoder ended without making a file")});
    EXPECT_EQ(RipSummaryBox::titleFor(report), s("The rip is finished, but some tracks failed"));
    EXPECT_EQ(RipSummaryBox::textFor(report),
              s("1 of 3 tracks are in /music/Band - Record. 1 track failed, 1 track skipped.\n\n"
                "Track 2, Song 2, failed: the encoder ended without making a file"));

    report = SessionReport{};
    report.ending = SessionReport::Ending::Stopped;
    report.albumFolder = s("/music/Band - Record");
    report.total = 4;
    report.stopped = 4;
    EXPECT_EQ(RipSummaryBox::titleFor(report), s("The rip was stopped"));
    EXPECT_TRUE(RipSummaryBox::textFor(report).startsWith(s("No file was made.")));
    RipSummaryBox stopped(report, nullptr);
    EXPECT_EQ(stopped.openFolderButton(), nullptr);
}
