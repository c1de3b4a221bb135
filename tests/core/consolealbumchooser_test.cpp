#include "lookup/consolealbumchooser.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {
int choose(const QByteArray& typed, bool interactive, QByteArray* shown = nullptr)
{
    QByteArray in = typed;
    QByteArray out;
    QBuffer input(&in);
    QBuffer output(&out);
    input.open(QIODevice::ReadOnly);
    output.open(QIODevice::WriteOnly);
    ConsoleAlbumChooser chooser(input, output, interactive);
    const int row =
        chooser.displayMultipleAlbumMatches({QStringLiteral("rock 8608460b Van Halen / Van Halen"),
                                             QStringLiteral("misc 8608460b Van Halen / Van Halen")});
    if (shown)
        *shown = out;
    return row;
}
} // namespace

TEST(ConsoleAlbumChooser, ListsNumberedMatchesAndReadsTheChoice)
{
    QByteArray shown;
    EXPECT_EQ(choose("2\n", true, &shown), 1);
    EXPECT_TRUE(
        shown.contains("1) rock 8608460b Van Halen / Van Halen\n2) misc 8608460b Van Halen / Van Halen\n"));
    EXPECT_EQ(choose(" 1 \n", true), 0);
    // Anything else is asked again; the end of the input means none.
    EXPECT_EQ(choose("3\nx\n2\n", true, &shown), 1);
    EXPECT_EQ(shown.count("Please enter one of the numbers shown."), 2);
    EXPECT_EQ(choose("9\n", true), -1);
    // 0, an empty line or no answer at all: none of these.
    EXPECT_EQ(choose("0\n", true), -1);
    EXPECT_EQ(choose("\n2\n", true), -1);
    EXPECT_EQ(choose("", true), -1);
    // Without a terminal nobody answers: the first match, and nothing is read or written.
    EXPECT_EQ(choose("2\n", false, &shown), 0);
    EXPECT_TRUE(shown.isEmpty());
}
