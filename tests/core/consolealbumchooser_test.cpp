// vesk-rip's console pieces in process: the match chooser reading a pipe, and the lines it and
// the progress are written through.
#include "consolealbumchooser.h"
#include "consolelines.h"

#include <QBuffer>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
// The row chosen after typed, written into a pipe that then closes unless keepOpen; shown
// receives what the chooser wrote.
int choose(const QByteArray& typed, bool interactive = true, QByteArray* shown = nullptr,
           const QString& second = QStringLiteral("misc 8608460b Van Halen / Van Halen"),
           const std::function<void(ConsoleAlbumChooser&)>& whileAsking = {})
{
    int pipe[2];
    if (::pipe(pipe) != 0 || ::write(pipe[1], typed.constData(), size_t(typed.size())) != typed.size())
        return -2;
    if (!whileAsking)
        ::close(pipe[1]);
    QByteArray out;
    QBuffer output(&out);
    output.open(QIODevice::WriteOnly);
    ConsoleLines lines(output, output);
    ConsoleAlbumChooser chooser(pipe[0], lines, interactive);
    if (whileAsking)
        whileAsking(chooser);
    const int row =
        chooser.displayMultipleAlbumMatches({QStringLiteral("rock 8608460b Van Halen / Van Halen"), second});
    ::close(pipe[0]);
    if (whileAsking)
        ::close(pipe[1]);
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
    // Anything else is asked again; 0, an empty line or the end of the input means none. The
    // end of the input leaves the question's line open: the next message starts a line of its own.
    EXPECT_EQ(choose("3\nx\n2\n", true, &shown), 1);
    EXPECT_EQ(shown.count("Please enter one of the numbers shown."), 2);
    for (const char* none : {"9\n", "0\n", "\n2\n", ""})
        EXPECT_EQ(choose(none), -1) << none;
    // Without a terminal nobody answers: the first match, said, and nothing is read.
    EXPECT_EQ(choose("2\n", false, &shown), 0);
    EXPECT_EQ(shown, "Several discs match; taking the first: rock 8608460b Van Halen / Van Halen\n");
    // The lookup stopped (a signal, Stop) while nobody typed: the question ends at once, declined.
    EXPECT_EQ(choose("", true, &shown, QStringLiteral("misc 2"),
                     [](ConsoleAlbumChooser& chooser) {
                         QTimer::singleShot(50, [&chooser] { chooser.cancelChoice(); });
                     }),
              -1);
    EXPECT_TRUE(shown.endsWith("(0 or Enter: none of these): ")) << shown.toStdString();
}

// The progress in place: rewritten on one line, cut to the width with the time remaining kept,
// never wrapping (wide characters take two cells), and ended before any message.
TEST(ConsoleLines, ProgressInPlaceIsOneLineCutToTheWidthAndEndedBeforeMessages)
{
    QByteArray progressBytes;
    QByteArray messageBytes;
    QBuffer progress(&progressBytes);
    QBuffer messages(&messageBytes);
    progress.open(QIODevice::WriteOnly);
    messages.open(QIODevice::WriteOnly);
    int columns = 31;
    ConsoleLines lines(progress, messages, [&columns] { return columns; });
    lines.showProgress(u"Processing: 1 Track"_qs);
    lines.showProgress(u"Processing: 2 Second Track     (2 of 9)"_qs, u"0:07"_qs);
    EXPECT_EQ(progressBytes, "\rProcessing: 1 Track\x1b[K\rProcessing: 2 Second Tr…  0:07\x1b[K");
    lines.message(u"Writing to /out"_qs);
    EXPECT_EQ(progressBytes.right(1), "\n");
    EXPECT_EQ(messageBytes, "Writing to /out\n");
    // Nothing open: no second line end.
    lines.endOpenLine();
    EXPECT_EQ(progressBytes.count('\n'), 1);

    columns = 11;
    progressBytes.clear();
    progress.seek(0);
    lines.showProgress(u"東京東京東京東京"_qs);
    lines.showProgress(u"a\x1b[31m"_qs);
    EXPECT_EQ(QString::fromUtf8(progressBytes), u"\r東京東京…\x1b[K\ra\\x1b[31m\x1b[K"_qs);
    EXPECT_EQ(ConsoleLines::cells(u"東京 e\u0301"_qs), 6);
    for (const QString& line : {u"東京東京東京東京東京"_qs, u"abcdefghijklmnop"_qs, u"ab東京東京東京東京"_qs})
        EXPECT_LE(ConsoleLines::cells(ConsoleLines::fitted(line, 10)), 10) << line.toStdString();
    // Erased when the status goes, and then nothing is left open.
    lines.showProgress(QString());
    EXPECT_TRUE(progressBytes.endsWith("\r\x1b[K"));
    lines.message(u"done"_qs);
    EXPECT_FALSE(progressBytes.endsWith("\n"));

    // Without a terminal: plain lines as they come.
    QByteArray plainBytes;
    QBuffer plain(&plainBytes);
    plain.open(QIODevice::WriteOnly);
    ConsoleLines plainLines(plain, plain);
    plainLines.showProgress(u"Processing: 1 Track"_qs);
    plainLines.showProgress(QString(), u"Est. Time Remaining: 0:03"_qs);
    EXPECT_EQ(plainBytes, "Processing: 1 Track\nEst. Time Remaining: 0:03\n");
}
