#include "lookup/gui/freedbalbummatchescontroller.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
const QStringList kMatches{u"rock 1402ce03 A / B"_qs, u"jazz 1402ce04 C / D"_qs};

// Shows the lines and runs whileShown inside the chooser's modal loop; whileShown closes it.
int choose(FreedbAlbumMatchesController& chooser, const QStringList& lines,
           const std::function<void()>& whileShown)
{
    QTimer::singleShot(0, &chooser, [&] {
        EXPECT_TRUE(chooser.isVisible());
        whileShown();
        if (chooser.isVisible())
            chooser.reject(); // never leave the test hanging
    });
    return chooser.displayMultipleAlbumMatches(lines);
}
} // namespace

TEST(FreedbAlbumMatchesController, FirstRowIsPreselectedAnotherMayBeChosenOrNone)
{
    QWidget mainWindow;
    FreedbAlbumMatchesController chooser(&mainWindow);
    EXPECT_EQ(chooser.windowModality(), Qt::WindowModal);
    EXPECT_EQ(choose(chooser, kMatches,
                     [&] {
                         QTableWidget* table = chooser.matchTable();
                         ASSERT_EQ(table->rowCount(), 2);
                         EXPECT_EQ(table->item(1, 0)->text(), kMatches.at(1));
                         table->selectRow(1);
                         chooser.chooseButton()->click();
                     }),
              1);
    // The same chooser serves the next lookup, with row 0 preselected again.
    EXPECT_EQ(choose(chooser, kMatches,
                     [&] {
                         EXPECT_TRUE(chooser.matchTable()->item(0, 0)->isSelected());
                         chooser.chooseButton()->click();
                     }),
              0);
    EXPECT_EQ(choose(chooser, kMatches, [&] { chooser.noneButton()->click(); }), -1);
    EXPECT_EQ(choose(chooser, kMatches, [&] { chooser.reject(); }), -1);
    // The lookup ended meanwhile (Stop, quitting): the matches are declined.
    EXPECT_EQ(choose(chooser, kMatches, [&] { chooser.cancelChoice(); }), -1);
    // No lines: nothing can be confirmed, only declined.
    EXPECT_EQ(choose(chooser, {},
                     [&] {
                         EXPECT_FALSE(chooser.chooseButton()->isEnabled());
                         chooser.choseAlbum();
                         EXPECT_TRUE(chooser.isVisible());
                         chooser.noneButton()->click();
                     }),
              -1);
}
