#include "common/veskexception.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/freedbaccess.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

namespace {
QString crlf(std::initializer_list<const char*> lines)
{
    QString text;
    for (const char* line : lines)
        text += QString::fromUtf8(line) + u"\r\n"_qs;
    return text;
}

Album parse(std::initializer_list<const char*> lines)
{
    return FreedbAccess::parseAlbumInfo(crlf(lines));
}

QString shown(const QString& text)
{
    return text.isNull() ? u"(null)"_qs : text;
}

// "artist|title|year|genre" of the album, null texts shown as "(null)".
QString head(const Album& album)
{
    return QStringList{shown(album.getArtist()), shown(album.getTitle()), shown(album.getYear()),
                       shown(album.getGenre())}
        .join(u'|');
}

// "artist|title" of every track; the tracks must be numbered 1, 2, ... in order.
QStringList tracks(const Album& album)
{
    QStringList lines;
    for (const Track& track : album.getTracks()) {
        EXPECT_EQ(track.getTrackNum(), lines.size() + 1);
        lines << shown(track.getArtist()) + u'|' + shown(track.getTitle());
    }
    return lines;
}

} // namespace

TEST(CDDBEntry, WorkedExamples)
{
    const Album plain = parse({"210 rock 1402ce03 entry follows", "DTITLE=Some Artist / Some Album",
                               "DYEAR=1999", "DGENRE=Rock", "TTITLE0=First Song", "TTITLE1=Second: Song",
                               "TTITLE2=A long title that", "TTITLE2= goes on", "."});
    EXPECT_EQ(head(plain), u"Some Artist|Some Album|1999|Rock"_qs);
    EXPECT_EQ(tracks(plain), QStringList({u"Some Artist|First Song"_qs, u"Some Artist|Second: Song"_qs,
                                          u"Some Artist|A long title that goes on"_qs}));

    // Titles reach the album exactly as written: a "/" or ":" is the artist's, not a path's.
    const Album live = parse({"210 jazz 1402ce03 entry follows",
                              "DTITLE=Holdout Quartet / \xc3\x9cnder the L\xc3\xafght: Live",
                              "DGENRE=Jazz/Fusion", "TTITLE0=Opening: Dawn", "TTITLE1=Blue/Green",
                              "TTITLE2=Hip-Hop Hooray", "TTITLE3=Artist - Title", "."});
    EXPECT_EQ(head(live), u"Holdout Quartet|Ünder the Lïght: Live|(null)|Jazz/Fusion"_qs);
    EXPECT_EQ(tracks(live),
              QStringList({u"Holdout Quartet|Opening: Dawn"_qs, u"Holdout Quartet|Blue/Green"_qs,
                           u"Holdout Quartet|Hip-Hop Hooray"_qs, u"Holdout Quartet|Artist - Title"_qs}));

    const Album various =
        parse({"210 misc 1402ce03 entry follows", "DTITLE=Various Artists / Hits", "TTITLE0=Band A / Song A",
               "TTITLE1=Band-B-Song", "TTITLE2=No hyphen here", "TTITLE3=A: B - C", "TTITLE4=Solo-",
               "TTITLE5=Two  -  Spaces", "TTITLE6=AC/DC / T.N.T.", "TTITLE7=Bell\x07 \x1b[31mRed", "."});
    EXPECT_EQ(head(various), u"Various Artists|Hits|(null)|(null)"_qs);
    // A track splits at its first " / ", else at its first spaced " - ", else not at all.
    EXPECT_EQ(tracks(various),
              QStringList({u"Band A|Song A"_qs, u"Various Artists|Band-B-Song"_qs,
                           u"Various Artists|No hyphen here"_qs, u"A: B|C"_qs, u"Various Artists|Solo-"_qs,
                           u"Two | Spaces"_qs, u"AC/DC|T.N.T."_qs, u"Various Artists|Bell [31mRed"_qs}));
    EXPECT_EQ(tracks(parse({"DTITLE=Various Artists / Hits", "TTITLE0=Hip-Hop Hooray", "TTITLE1=A - B / C",
                            "TTITLE2=Artist / Title - Remix", "TTITLE3=Band - Song - Live", "."})),
              QStringList({u"Various Artists|Hip-Hop Hooray"_qs, u"A - B|C"_qs, u"Artist|Title - Remix"_qs,
                           u"Band|Song - Live"_qs}));
    // Only "Various" with a capital V makes a various-artists disc.
    EXPECT_EQ(tracks(parse({"DTITLE=various / X", "TTITLE0=A - B", "."})), QStringList{u"various|A - B"_qs});

    // Album titles without the usual separator.
    const std::pair<const char*, const char*> titles[] = {
        {"Artist/Title", "Artist|Title|(null)|(null)"},
        {"Self Titled", "Self Titled|Self Titled|(null)|(null)"},
        {"/Title only", "|Title only|(null)|(null)"},
        {"A: B / C/D: E", "A: B|C/D: E|(null)|(null)"},
        {"DC/AC / Reverse Current", "DC/AC|Reverse Current|(null)|(null)"}};
    for (const auto& [dtitle, expected] : titles)
        EXPECT_EQ(head(FreedbAccess::parseAlbumInfo(u"DTITLE=%1\r\n.\r\n"_qs.arg(QLatin1String(dtitle)))),
                  QString::fromLatin1(expected));
}

TEST(CDDBEntry, KeysValuesAndContinuations)
{
    const QString entry = crlf({"200 status", "# TTITLE9=in a comment", "DYEAR=", "TTITLE1=one",
                                "TTITLE10=ten", "EXTT0=a", "EXTT0=b", "EXTT0=c", "."});
    const auto token = [&entry](const char* key) {
        return FreedbAccess::getToken(QString::fromLatin1(key), entry);
    };
    EXPECT_FALSE(token("DTITLE=").has_value());
    EXPECT_FALSE(token("TTITLE9=").has_value()); // keys start lines; comments hold none
    EXPECT_EQ(shown(*token("DYEAR=")), QString(""));
    EXPECT_EQ(token("TTITLE1="), u"one"_qs);
    EXPECT_EQ(token("EXTT0="), u"abc"_qs);
    // A bare LF ends a line as well; the last character is not lost.
    EXPECT_EQ(FreedbAccess::getToken(u"K="_qs, u"K=abc\nK=def\n"_qs), u"abcdef"_qs);
    EXPECT_THROW(FreedbAccess::getToken(u"K="_qs, u"K=no line end"_qs), VeskException);

    // Counting stops at the first missing number; an empty title does not stop it.
    const Album album = parse({"DTITLE=A / B", "DYEAR=", "TTITLE0=", "TTITLE1=x", "TTITLE3=gap", "."});
    EXPECT_EQ(head(album), u"A|B||(null)"_qs);
    EXPECT_EQ(tracks(album), QStringList({u"A|"_qs, u"A|x"_qs}));
    EXPECT_THROW(FreedbAccess::parseAlbumInfo(u"DTITLE=cut off"_qs), VeskException);
}

TEST(CDDBEntry, MoreTitlesThanADiscHoldsAreCountedInTheLogAndIgnored)
{
    QString entry = u"DTITLE=A / B\r\n"_qs;
    for (int n = 0; n <= 99; ++n)
        entry += u"TTITLE%1=t%1\r\n"_qs.arg(n);
    // The highest number a 32-bit count can hold, and one beyond it that no track has.
    entry += u"TTITLE2147483647=last\r\nTTITLE99999999999=beyond\r\n.\r\n"_qs;
    LogCapture log;
    const Album album = FreedbAccess::parseAlbumInfo(entry);
    EXPECT_EQ(album.getTracks().size(), 99);
    EXPECT_EQ(album.getTracks().last().getTitle(), u"t98"_qs);
    EXPECT_EQ(log.lines(), QStringList{u"The CD's database entry lists 2147483648 tracks; a disc holds at "
                                       "most 99, the rest are ignored"_qs});
}

TEST(CDDBEntry, ReadCommandsOfTheWorkedExample)
{
    RecordingHost host;
    const DiscTOC toc = DiscTOC::fromOffsets({150, 18000, 36000}, 54000);
    // An exact match: the category from the reply, the identifier our own.
    EXPECT_EQ(FreedbAccess(host, toc).buildCDDBReadEntryString(200, u"200 jazz 0a0b0c0d Some Title\r\n"_qs),
              u"cddb read jazz 1402ce03\n"_qs);
    // Nothing from the server may smuggle a second command into the line.
    for (const auto& [code, text] : {std::pair{200, "200\r\n"},
                                     {211, "x\nrock\n."},
                                     {211, "x\nro\x01"
                                           "ck 12 T\n."},
                                     {211, "no second line"}})
        EXPECT_THROW(FreedbAccess(host, toc).buildCDDBReadEntryString(code, QString::fromLatin1(text)),
                     VeskException)
            << text;
}

TEST(CDDBReply, HostileStatusLinesAndUnendedLists)
{
    EXPECT_EQ(CDDBReply::replyCode(u"200 Hello\r\n"_qs), 200);
    EXPECT_EQ(CDDBReply::replyCode(u"99999999999 x"_qs), 0);
    EXPECT_EQ(CDDBReply::replyCode(u"2147483647 x"_qs), 2147483647);
    EXPECT_EQ(CDDBReply::replyCode(u"-5 x"_qs), -5);
    EXPECT_EQ(CDDBReply::replyCode(u"\t200 x"_qs), 0); // the code stands first or not at all
    EXPECT_EQ(CDDBReply::replyCode(u"20a0 x"_qs), 20);
    EXPECT_THROW(CDDBReply::replyCode(u"200\r\n"_qs), VeskException);
    EXPECT_THROW(CDDBReply::replyCode(QString()), VeskException);
    EXPECT_EQ(CDDBReply::statusLineForPeople(u"500 Bad\x1b[2J \x07\u009b"
                                             "email\r\nmore"_qs),
              u"500 Bad[2J email"_qs);
    EXPECT_EQ(CDDBReply::statusLineForPeople(QString(300, u'x')).size(), 200);
    // A list without its "." line is refused.
    EXPECT_THROW(CDDBReply::matchLines(crlf({"211 x", "rock 1 A"})), VeskException);
}
