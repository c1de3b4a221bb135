#include "lookup/gui/freedbalbummatchescontroller.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
const QStringList kMatches{u"A – B (rock)"_qs, u"C – D (1999, jazz)"_qs};

// Shows the lines and runs whileShown inside the chooser's modal loop; whileShown closes it.
int choose(FreedbAlbumMatchesController& chooser, const QStringList& lines,
           const std::function<void()>& whileShown)
{
    QTimer::singleShot(0, &chooser, [&] {
        EXPECT_TRUE(chooser.isVisible());
        whileShown();
        if (chooser.isVisible()) {
            ADD_FAILURE() << "the chooser is still open";
            chooser.reject(); // never leave the test hanging
        }
    });
    return chooser.displayMultipleAlbumMatches(lines);
}
} // namespace

TEST(FreedbAlbumMatchesController, ARowIsChosenOnlyByTheUserOrAllAreDeclined)
{
    QWidget mainWindow;
    FreedbAlbumMatchesController chooser(&mainWindow);
    EXPECT_EQ(chooser.windowModality(), Qt::WindowModal);
    EXPECT_EQ(choose(chooser, kMatches,
                     [&] {
                         QTableWidget* table = chooser.matchTable();
                         ASSERT_EQ(table->rowCount(), 2);
                         EXPECT_EQ(table->item(1, 0)->text(), kMatches.at(1));
                         EXPECT_EQ(table->item(1, 0)->toolTip(), kMatches.at(1));
                         // Selecting a row chooses nothing yet.
                         table->selectRow(1);
                         EXPECT_TRUE(chooser.isVisible());
                         chooser.chooseButton()->click();
                     }),
              1);
    // The same chooser serves the next lookup, with row 0 preselected again; Return in the table
    // confirms it.
    EXPECT_EQ(choose(chooser, kMatches,
                     [&] {
                         EXPECT_TRUE(chooser.matchTable()->item(0, 0)->isSelected());
                         QTest::keyClick(chooser.matchTable(), Qt::Key_Return);
                     }),
              0);
    // The access keys (a pressed button takes a moment to show itself pressed).
    for (const auto& [key, row] : {std::pair{Qt::Key_U, 0}, std::pair{Qt::Key_N, -1}}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(choose(chooser, kMatches,
                         [&] {
                             // Access keys work in the active window.
                             chooser.activateWindow();
                             EXPECT_TRUE(QTest::qWaitForWindowActive(&chooser));
                             QTest::keyClick(&chooser, key, Qt::AltModifier);
                             EXPECT_TRUE(QTest::qWaitFor([&] { return !chooser.isVisible(); }, 5000));
                         }),
                  row);
    }
    // None of these, Escape and the close box decline every match.
    EXPECT_EQ(choose(chooser, kMatches, [&] { chooser.noneButton()->click(); }), -1);
    EXPECT_EQ(choose(chooser, kMatches, [&] { QTest::keyClick(chooser.matchTable(), Qt::Key_Escape); }), -1);
    EXPECT_EQ(choose(chooser, kMatches, [&] { chooser.close(); }), -1);
    // The lookup ended meanwhile (Stop, quitting): the matches are declined.
    EXPECT_EQ(choose(chooser, kMatches, [&] { chooser.cancelChoice(); }), -1);
}
