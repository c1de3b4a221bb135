#include "common/veskexception.h"
#include "lookup/cddbentryparser.h"
#include "lookup/cddbreply.h"
#include "lookup/freedbaccess.h"
#include "lookup/lookuphost.h"

#include <QFile>
#include <QStringConverter>
#include <gtest/gtest.h>

namespace {
QString crlf(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

class NoHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString&, const QString&) override {}
    int displayMultipleAlbumMatches(const QStringList&) override { return 0; }
};

// A real entry as a level-5 server sends it after "cddb read": status line, CR LF line ends,
// UTF-8 entries converted to ISO 8859-1 (decoded here straight to text), "." last.
QString entryReply(const QString& name)
{
    QFile file(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const QByteArray bytes = file.readAll();
    auto utf8 = QStringDecoder(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QString category = name.section(QLatin1Char('-'), 0, 0);
    const QString id = name.section(QLatin1Char('-'), 1, 1);
    return QStringLiteral("210 %1 %2 CD database entry follows (until terminating `.')\r\n")
               .arg(category, id) +
           text + QStringLiteral(".\r\n");
}

void expectTrack(const Album& album, int number, const QString& artist, const QString& title)
{
    ASSERT_GE(album.getTracks().size(), number);
    const Track& track = album.getTracks().at(number - 1);
    EXPECT_EQ(track.getTrackNum(), number);
    EXPECT_EQ(track.getArtist(), artist) << "track " << number;
    EXPECT_EQ(track.getTitle(), title) << "track " << number;
}
} // namespace

TEST(CDDBEntry, WorkedExampleOfAPlainEntry)
{
    const Album album = FreedbAccess::parseAlbumInfo(crlf({
        QStringLiteral("210 rock 1402ce03 entry follows"),
        QStringLiteral("DTITLE=Some Artist / Some Album"),
        QStringLiteral("DYEAR=1999"),
        QStringLiteral("DGENRE=Rock"),
        QStringLiteral("TTITLE0=First Song"),
        QStringLiteral("TTITLE1=Second: Song"),
        QStringLiteral("TTITLE2=A long title that"),
        QStringLiteral("TTITLE2= goes on"),
        QStringLiteral("."),
    }));
    EXPECT_EQ(album.getArtist(), QStringLiteral("Some Artist"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Some Album"));
    EXPECT_EQ(album.getYear(), QStringLiteral("1999"));
    EXPECT_EQ(album.getGenre(), QStringLiteral("Rock"));
    EXPECT_TRUE(album.getComments().isNull());
    ASSERT_EQ(album.getTracks().size(), 3);
    expectTrack(album, 1, QStringLiteral("Some Artist"), QStringLiteral("First Song"));
    expectTrack(album, 2, QStringLiteral("Some Artist"), QStringLiteral("Second- Song"));
    expectTrack(album, 3, QStringLiteral("Some Artist"), QStringLiteral("A long title that goes on"));
}

TEST(CDDBEntry, WorkedExampleOfAVariousArtistsEntry)
{
    const Album album = FreedbAccess::parseAlbumInfo(crlf({
        QStringLiteral("210 misc 1402ce03 entry follows"),
        QStringLiteral("DTITLE=Various Artists / Hits"),
        QStringLiteral("TTITLE0=Band A / Song A"),
        QStringLiteral("TTITLE1=Band-B-Song"),
        QStringLiteral("TTITLE2=No hyphen here"),
        QStringLiteral("TTITLE3=A: B - C"),
        QStringLiteral("TTITLE4=Solo-"),
        QStringLiteral("TTITLE5=Two  -  Spaces"),
        QStringLiteral("."),
    }));
    EXPECT_EQ(album.getArtist(), QStringLiteral("Various Artists"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Hits"));
    EXPECT_TRUE(album.getYear().isNull());
    EXPECT_TRUE(album.getGenre().isNull());
    ASSERT_EQ(album.getTracks().size(), 6);
    expectTrack(album, 1, QStringLiteral("Band A"), QStringLiteral("Song A"));
    expectTrack(album, 2, QStringLiteral("Band"), QStringLiteral("B-Song"));
    expectTrack(album, 3, QStringLiteral("Various Artists"), QStringLiteral("No hyphen here"));
    expectTrack(album, 4, QStringLiteral("A"), QStringLiteral("B - C"));
    expectTrack(album, 5, QStringLiteral("Solo"), QString());
    EXPECT_FALSE(album.getTracks().at(4).getTitle().isNull());
    expectTrack(album, 6, QStringLiteral("Two "), QStringLiteral(" Spaces"));

    // Only "Various" with a capital V makes a various-artists disc.
    const Album lower = FreedbAccess::parseAlbumInfo(
        crlf({QStringLiteral("DTITLE=various / X"), QStringLiteral("TTITLE0=A - B"), QStringLiteral(".")}));
    expectTrack(lower, 1, QStringLiteral("various"), QStringLiteral("A - B"));
}

TEST(CDDBEntry, KeysValuesAndContinuations)
{
    const QString entry = crlf({
        QStringLiteral("200 status"),
        QStringLiteral("# TTITLE9=in a comment but still found: the search is literal"),
        QStringLiteral("DYEAR="),
        QStringLiteral("TTITLE1=one"),
        QStringLiteral("TTITLE10=ten"),
        QStringLiteral("EXTT0=a"),
        QStringLiteral("EXTT0=b"),
        QStringLiteral("EXTT0=c"),
        QStringLiteral("TTITLE2=x"),
        QStringLiteral("TTITLE3=y"),
        QStringLiteral("TTITLE2=stray"),
        QStringLiteral("."),
    });
    EXPECT_FALSE(FreedbAccess::getToken(QStringLiteral("DTITLE="), entry).has_value());
    const auto year = FreedbAccess::getToken(QStringLiteral("DYEAR="), entry);
    ASSERT_TRUE(year.has_value());
    EXPECT_TRUE(year->isEmpty());
    EXPECT_FALSE(year->isNull());
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("TTITLE1="), entry), QStringLiteral("one"));
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("TTITLE10="), entry), QStringLiteral("ten"));
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("EXTT0="), entry), QStringLiteral("abc"));
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("TTITLE9="), entry),
              QStringLiteral("in a comment but still found: the search is literal"));
    // A piece that is not on the next line does not join the value.
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("TTITLE2="), entry), QStringLiteral("x"));
    // A bare LF ends a line as well; the last character is not lost.
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("K="), QStringLiteral("K=abc\nK=def\n")),
              QStringLiteral("abcdef"));
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("K="), QStringLiteral("K=\n")), QStringLiteral(""));
    EXPECT_THROW(FreedbAccess::getToken(QStringLiteral("K="), QStringLiteral("K=no line end")),
                 VeskException);

    // Counting stops at the first missing number; an empty title does not stop it.
    const Album album = FreedbAccess::parseAlbumInfo(
        crlf({QStringLiteral("DTITLE=A / B"), QStringLiteral("DYEAR="), QStringLiteral("TTITLE0="),
              QStringLiteral("TTITLE1=x"), QStringLiteral("TTITLE3=gap"), QStringLiteral(".")}));
    EXPECT_EQ(album.getYear(), QStringLiteral(""));
    EXPECT_FALSE(album.getYear().isNull());
    ASSERT_EQ(album.getTracks().size(), 2);
    expectTrack(album, 1, QStringLiteral("A"), QString());
    EXPECT_THROW(FreedbAccess::parseAlbumInfo(QStringLiteral("DTITLE=cut off")), VeskException);
}

TEST(CDDBEntry, AlbumTitlesWithoutTheUsualSeparator)
{
    const auto parse = [](const QString& dtitle) {
        return FreedbAccess::parseAlbumInfo(crlf({QStringLiteral("DTITLE=") + dtitle, QStringLiteral(".")}));
    };
    Album album = parse(QStringLiteral("Artist/Title"));
    EXPECT_EQ(album.getArtist(), QStringLiteral("Artist"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Title"));
    // Without a slash the artist and the title are the same (the xmcd convention).
    album = parse(QStringLiteral("Self Titled"));
    EXPECT_EQ(album.getArtist(), QStringLiteral("Self Titled"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Self Titled"));
    album = parse(QStringLiteral("/Title only"));
    EXPECT_EQ(album.getArtist(), QStringLiteral(""));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Title only"));
    album = parse(QStringLiteral("A: B / C/D: E"));
    EXPECT_EQ(album.getArtist(), QStringLiteral("A- B"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("C-D- E"));
}

TEST(CDDBEntry, RealEntriesParseToTheirAlbums)
{
    struct Expected {
        const char* file;
        const char16_t* artist;
        const char16_t* title;
        const char16_t* year; // nullptr: no DYEAR line
        const char16_t* genre;
        int tracks;
        int spotNumber;
        const char16_t* spotArtist;
        const char16_t* spotTitle;
    };
    const Expected cases[] = {
        {"rock-8608460b", u"Van Halen", u"Van Halen", u"1978", u"Rock", 11, 11, u"Van Halen", u"On Fire"},
        {"misc-7908090a", u"Gladys Knight & The Pips", u"All The Greatest Hits", u"", u"", 10, 6,
         u"Gladys Knight & The Pips", u"Neither One Of Us (Wants To Be The First To Say Goodbye)"},
        {"soundtrack-be0c140e", u"Various", u"Clueless Soundtrack", u"", u"Rock", 14, 4, u"Various",
         u"Here (Squirmel Mix)"},
        {"classical-ee074b12", u"Zbigniew Preisner", u"The double life of Veronika-Kieslowski", u"1991",
         u"Classical", 18, 13, u"Zbigniew Preisner", u"Theme - 2nd transcription"},
        {"classical-0a0f5811", u"Maria Venuti", u"Maria Venuti Sings Schubert, Schoenberg, Schumann", u"1994",
         u"Classical", 17, 3, u"Maria Venuti",
         u"4 Lieder Nach Texten V. Richard Dehmel Op. 2- Schenk Mir Deinen Goldenen Kamm"},
        {"misc-0a0dd914", u"Various", u"Ann\u00e9es 60 CD1", u"2004", u"Misc", 20, 20, u"THE TREMOLOES",
         u"Suddenly You Love Me"},
        {"jazz-1c11c714", u"Various", u"Jazz Manouche CD 1", u"", u"Jazz", 20, 15,
         u"Christian Escoud\u00e9, Dorado Schmitt, Babik Reinhardt", u"O\u00f9 Es Tu Mon Amour"},
        {"rock-2b055c04", u"Tuhonvarjo", u"Syvyyden Syli", u"2010", u"Metal", 4, 3, u"Tuhonvarjo",
         u"Joutsenen Siivill\u00e4"},
        {"folk-2f0d8939", u"Dan Levenson", u"Old Time Festival Tunes For Clawhammer Banjo (Disc 2)", nullptr,
         nullptr, 57, 57, u"Dan Levenson", u"Yellow Rose of Texas"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.file);
        const Album album = FreedbAccess::parseAlbumInfo(entryReply(QString::fromLatin1(c.file)));
        EXPECT_EQ(album.getArtist(), QString::fromUtf16(c.artist));
        EXPECT_EQ(album.getTitle(), QString::fromUtf16(c.title));
        EXPECT_EQ(album.getYear().isNull(), c.year == nullptr);
        if (c.year) {
            EXPECT_EQ(album.getYear(), QString::fromUtf16(c.year));
        }
        EXPECT_EQ(album.getGenre().isNull(), c.genre == nullptr);
        if (c.genre) {
            EXPECT_EQ(album.getGenre(), QString::fromUtf16(c.genre));
        }
        EXPECT_EQ(album.getTracks().size(), c.tracks);
        expectTrack(album, c.spotNumber, QString::fromUtf16(c.spotArtist), QString::fromUtf16(c.spotTitle));
        for (int i = 0; i < album.getTracks().size(); ++i) {
            EXPECT_EQ(album.getTracks().at(i).getTrackNum(), i + 1);
            EXPECT_FALSE(album.getTracks().at(i).getTitle().contains(QLatin1Char('\r')));
        }
    }

    // Various-artists tracks take their artist from "Artist / Title".
    const Album clueless = FreedbAccess::parseAlbumInfo(entryReply(QStringLiteral("soundtrack-be0c140e")));
    expectTrack(clueless, 1, QStringLiteral("The Muffs"), QStringLiteral("Kids In America"));
    const Album jazz = FreedbAccess::parseAlbumInfo(entryReply(QStringLiteral("jazz-1c11c714")));
    expectTrack(jazz, 1, QStringLiteral("Bireli Lagr\u00e8ne"), QStringLiteral("New York City  "));

    // Text that is neither UTF-8 nor Latin-1 still gives every track, titles as received.
    const Album chinese = FreedbAccess::parseAlbumInfo(entryReply(QStringLiteral("misc-a70c310c")));
    EXPECT_EQ(chinese.getTracks().size(), 12);
    EXPECT_EQ(chinese.getYear(), QStringLiteral("2005"));
    EXPECT_FALSE(chinese.getArtist().isEmpty());
}

TEST(CDDBEntry, ReadCommandsOfTheWorkedExample)
{
    NoHost host;
    const DiscTOC toc = DiscTOC::fromOffsets({150, 18000, 36000}, 54000);
    FreedbAccess exact(host, toc);
    EXPECT_EQ(exact.buildCDDBReadEntryString(200, QStringLiteral("200 jazz 0a0b0c0d Some Title\r\n")),
              QStringLiteral("cddb read jazz 1402ce03\n"));
    EXPECT_EQ(exact.cddbDiscId(), 0x1402ce03u);
    EXPECT_EQ(exact.buildCDDBReadEntryString(500, QStringLiteral("anything")),
              QStringLiteral("cddb read rock 1402ce03\n"));
    EXPECT_EQ(exact.cddbDiscId(), 0x1402ce03u);
    EXPECT_EQ(
        exact.buildCDDBReadEntryString(211, QStringLiteral("Stupid bogus data\nrock 0a0b0c0d Some Title\n.")),
        QStringLiteral("cddb read rock 0a0b0c0d\n"));
    EXPECT_EQ(exact.cddbDiscId(), 0u);

    // Nothing from the server may smuggle a second command into the line.
    FreedbAccess other(host, toc);
    EXPECT_THROW(other.buildCDDBReadEntryString(200, QStringLiteral("200\r\n")), VeskException);
    EXPECT_THROW(other.buildCDDBReadEntryString(211, QStringLiteral("x\nrock\n.")), VeskException);
    EXPECT_THROW(other.buildCDDBReadEntryString(211, QStringLiteral("x\nro\x01"
                                                                    "ck 12 T\n.")),
                 VeskException);
    EXPECT_THROW(other.buildCDDBReadEntryString(211, QStringLiteral("no second line")), VeskException);
}

TEST(CDDBReply, CodesAndMatchLists)
{
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("200 Hello\r\n")), 200);
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("-5 x")), -5);
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("Hello there")), 0);
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("99999999999 x")), 0);
    EXPECT_THROW(CDDBReply::replyCode(QStringLiteral("200\r\n")), VeskException);
    EXPECT_THROW(CDDBReply::replyCode(QString()), VeskException);

    const QString list =
        crlf({QStringLiteral("211 Found inexact matches, list follows (until terminating `.')"),
              QStringLiteral("rock 1402ce03 A / B"), QStringLiteral("jazz 1402ce04 C. / D"),
              QStringLiteral("."), QStringLiteral("trailing")});
    EXPECT_EQ(CDDBReply::matchLines(list),
              QStringList({QStringLiteral("rock 1402ce03 A / B"), QStringLiteral("jazz 1402ce04 C. / D")}));
    EXPECT_TRUE(CDDBReply::matchLines(crlf({QStringLiteral("211 x"), QStringLiteral(".")})).isEmpty());
    EXPECT_THROW(CDDBReply::matchLines(crlf({QStringLiteral("211 x"), QStringLiteral("rock 1 A")})),
                 VeskException);

    // Whole replies: single lines end at their line end, lists at their "." line.
    EXPECT_EQ(CDDBReply::completeLength("200 ok\r\n201 next"), 8);
    EXPECT_EQ(CDDBReply::completeLength("401 rock x No such CD"), -1);
    EXPECT_EQ(CDDBReply::completeLength("210 list\r\nrock 1 .A\r\n.."), -1);
    EXPECT_EQ(CDDBReply::completeLength("210 list\r\nrock 1 .A\r\n.\r\nquit"), 24);
    EXPECT_EQ(CDDBReply::completeLength("211 empty\r\n.\r\n"), 14);
}
