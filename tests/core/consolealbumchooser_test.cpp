#include "consolealbumchooser.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {
// The row chosen after typed; shown receives what the chooser wrote.
int choose(const QByteArray& typed, bool interactive = true, QByteArray* shown = nullptr,
           const QString& second = QStringLiteral("misc 8608460b Van Halen / Van Halen"))
{
    QByteArray in = typed;
    QByteArray out;
    QBuffer input(&in);
    QBuffer output(&out);
    input.open(QIODevice::ReadOnly);
    output.open(QIODevice::WriteOnly);
    const int row =
        ConsoleAlbumChooser(input, output, interactive)
            .displayMultipleAlbumMatches({QStringLiteral("rock 8608460b Van Halen / Van Halen"), second});
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
    EXPECT_EQ(choose(" 1 \n"), 0);
    // What the server sent cannot drive the terminal.
    choose("1\n", true, &shown, QStringLiteral("misc 1 \x1b]0;owned\x07"));
    EXPECT_TRUE(shown.contains("2) misc 1 \\x1b]0;owned\\x07\n")) << shown.toStdString();
    // Anything else is asked again; 0, an empty line or the end of the input means none.
    EXPECT_EQ(choose("3\nx\n2\n", true, &shown), 1);
    EXPECT_EQ(shown.count("Please enter one of the numbers shown."), 2);
    for (const char* none : {"9\n", "0\n", "\n2\n", ""})
        EXPECT_EQ(choose(none), -1) << none;
    // Without a terminal nobody answers: the first match, and nothing is read or written.
    EXPECT_EQ(choose("2\n", false, &shown), 0);
    EXPECT_TRUE(shown.isEmpty());
}
