#include "common/veskexception.h"
#include "lookup/cddbreply.h"
#include "lookup/freedbaccess.h"
#include "lookup/lookuphost.h"
#include "support/qstringprinter.h"
#include "support/testenvironment.h"

#include <QFile>
#include <QStringConverter>
#include <gtest/gtest.h>

namespace {
QString crlf(std::initializer_list<const char*> lines)
{
    QString text;
    for (const char* line : lines)
        text += QString::fromUtf8(line) + QStringLiteral("\r\n");
    return text;
}

Album parse(std::initializer_list<const char*> lines)
{
    return FreedbAccess::parseAlbumInfo(crlf(lines));
}

QString shown(const QString& text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
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
    return QStringLiteral("210 %1 %2 CD database entry follows (until terminating `.')\r\n")
               .arg(name.section(u'-', 0, 0), name.section(u'-', 1, 1)) +
           text + QStringLiteral(".\r\n");
}

class NoHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString&, const QString&) override {}
    int displayMultipleAlbumMatches(const QStringList&) override { return 0; }
};
} // namespace

TEST(CDDBEntry, WorkedExamples)
{
    const Album plain = parse({"210 rock 1402ce03 entry follows", "DTITLE=Some Artist / Some Album",
                               "DYEAR=1999", "DGENRE=Rock", "TTITLE0=First Song", "TTITLE1=Second: Song",
                               "TTITLE2=A long title that", "TTITLE2= goes on", "."});
    EXPECT_EQ(head(plain), QStringLiteral("Some Artist|Some Album|1999|Rock"));
    EXPECT_TRUE(plain.getComments().isNull());
    EXPECT_EQ(tracks(plain), QStringList({QStringLiteral("Some Artist|First Song"),
                                          QStringLiteral("Some Artist|Second- Song"),
                                          QStringLiteral("Some Artist|A long title that goes on")}));

    const Album various =
        parse({"210 misc 1402ce03 entry follows", "DTITLE=Various Artists / Hits", "TTITLE0=Band A / Song A",
               "TTITLE1=Band-B-Song", "TTITLE2=No hyphen here", "TTITLE3=A: B - C", "TTITLE4=Solo-",
               "TTITLE5=Two  -  Spaces", "TTITLE6=AC/DC / T.N.T.", "TTITLE7=Bell\x07 \x1b[31mRed", "."});
    EXPECT_EQ(head(various), QStringLiteral("Various Artists|Hits|(null)|(null)"));
    EXPECT_EQ(tracks(various),
              QStringList({QStringLiteral("Band A|Song A"), QStringLiteral("Band|B-Song"),
                           QStringLiteral("Various Artists|No hyphen here"), QStringLiteral("A|B - C"),
                           QStringLiteral("Solo|"), QStringLiteral("Two | Spaces"),
                           QStringLiteral("AC-DC|T.N.T."), QStringLiteral("Various Artists|Bell [31mRed")}));
    // Only "Various" with a capital V makes a various-artists disc.
    EXPECT_EQ(tracks(parse({"DTITLE=various / X", "TTITLE0=A - B", "."})),
              QStringList{QStringLiteral("various|A - B")});

    // Album titles without the usual separator.
    const std::pair<const char*, const char*> titles[] = {
        {"Artist/Title", "Artist|Title|(null)|(null)"},
        {"Self Titled", "Self Titled|Self Titled|(null)|(null)"},
        {"/Title only", "|Title only|(null)|(null)"},
        {"A: B / C/D: E", "A- B|C-D- E|(null)|(null)"},
        {"DC/AC / Reverse Current", "DC-AC|Reverse Current|(null)|(null)"}};
    for (const auto& [dtitle, expected] : titles)
        EXPECT_EQ(head(FreedbAccess::parseAlbumInfo(
                      QStringLiteral("DTITLE=%1\r\n.\r\n").arg(QLatin1String(dtitle)))),
                  QString::fromLatin1(expected));
}

TEST(CDDBEntry, KeysValuesAndContinuations)
{
    const QString entry =
        crlf({"200 status", "# TTITLE9=in a comment", "DYEAR=", "TTITLE1=one", "TTITLE10=ten", "EXTT0=a",
              "EXTT0=b", "EXTT0=c", "TTITLE2=x", "TTITLE3=y", "TTITLE2=stray", "."});
    const auto token = [&entry](const char* key) {
        return FreedbAccess::getToken(QString::fromLatin1(key), entry);
    };
    EXPECT_FALSE(token("DTITLE=").has_value());
    EXPECT_FALSE(token("TTITLE9=").has_value()); // keys start lines; comments hold none
    EXPECT_EQ(shown(*token("DYEAR=")), QString(""));
    EXPECT_EQ(token("TTITLE1="), QStringLiteral("one"));
    EXPECT_EQ(token("EXTT0="), QStringLiteral("abc"));
    // A piece that is not on the next line does not join the value.
    EXPECT_EQ(token("TTITLE2="), QStringLiteral("x"));
    // A bare LF ends a line as well; the last character is not lost.
    EXPECT_EQ(FreedbAccess::getToken(QStringLiteral("K="), QStringLiteral("K=abc\nK=def\n")),
              QStringLiteral("abcdef"));
    EXPECT_THROW(FreedbAccess::getToken(QStringLiteral("K="), QStringLiteral("K=no line end")),
                 VeskException);

    // Counting stops at the first missing number; an empty title does not stop it.
    const Album album = parse({"DTITLE=A / B", "DYEAR=", "TTITLE0=", "TTITLE1=x", "TTITLE3=gap", "."});
    EXPECT_EQ(head(album), QStringLiteral("A|B||(null)"));
    EXPECT_EQ(tracks(album), QStringList({QStringLiteral("A|"), QStringLiteral("A|x")}));
    EXPECT_THROW(FreedbAccess::parseAlbumInfo(QStringLiteral("DTITLE=cut off")), VeskException);

    // A disc holds 99 tracks at most: the rest of a longer list is left out, with one log line.
    QString many = QStringLiteral("DTITLE=A / B\r\n");
    for (int n = 0; n < 150; ++n)
        many += QStringLiteral("TTITLE%1=t%1\r\n").arg(n);
    LogCapture log;
    EXPECT_EQ(FreedbAccess::parseAlbumInfo(many).getTracks().size(), 99);
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("The CD's database entry lists 150 tracks; a disc holds "
                                         "at most 99, the rest are ignored")});
}

TEST(CDDBEntry, RealEntriesParseToTheirAlbums)
{
    const struct {
        const char* file;
        const char16_t* head;
        int tracks;
        int spot;
        const char16_t* spotTrack;
    } cases[] = {
        {"rock-8608460b", u"Van Halen|Van Halen|1978|Rock", 11, 11, u"Van Halen|On Fire"},
        {"soundtrack-be0c140e", u"Various|Clueless Soundtrack||Rock", 14, 1, u"The Muffs|Kids In America"},
        {"jazz-1c11c714", u"Various|Jazz Manouche CD 1||Jazz", 20, 15,
         u"Christian Escoud\u00e9, Dorado Schmitt, Babik Reinhardt|O\u00f9 Es Tu Mon Amour"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Album album = FreedbAccess::parseAlbumInfo(entryReply(QString::fromLatin1(c.file)));
        EXPECT_EQ(head(album), QString::fromUtf16(c.head));
        const QStringList lines = tracks(album);
        ASSERT_EQ(lines.size(), c.tracks);
        EXPECT_EQ(lines[c.spot - 1], QString::fromUtf16(c.spotTrack));
        EXPECT_FALSE(lines.join(QString()).contains(u'\r'));
    }
}

TEST(CDDBEntry, ReadCommandsOfTheWorkedExample)
{
    NoHost host;
    const DiscTOC toc = DiscTOC::fromOffsets({150, 18000, 36000}, 54000);
    FreedbAccess exact(host, toc);
    EXPECT_EQ(exact.buildCDDBReadEntryString(200, QStringLiteral("200 jazz 0a0b0c0d Some Title\r\n")),
              QStringLiteral("cddb read jazz 1402ce03\n"));
    EXPECT_EQ(exact.buildCDDBReadEntryString(500, QStringLiteral("anything")),
              QStringLiteral("cddb read rock 1402ce03\n"));
    EXPECT_EQ(exact.cddbDiscId(), 0x1402ce03u);
    EXPECT_EQ(
        exact.buildCDDBReadEntryString(211, QStringLiteral("Stupid bogus data\nrock 0a0b0c0d Some Title\n.")),
        QStringLiteral("cddb read rock 0a0b0c0d\n"));
    EXPECT_EQ(exact.cddbDiscId(), 0u);

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

TEST(CDDBReply, CodesMatchListsAndWholeReplies)
{
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("200 Hello\r\n")), 200);
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("-5 x")), -5);
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("Hello there")), 0);
    EXPECT_EQ(CDDBReply::replyCode(QStringLiteral("99999999999 x")), 0);
    EXPECT_THROW(CDDBReply::replyCode(QStringLiteral("200\r\n")), VeskException);
    EXPECT_THROW(CDDBReply::replyCode(QString()), VeskException);
    // UTF-8 whenever the bytes are UTF-8, whatever the level; ISO 8859-1 otherwise.
    EXPECT_EQ(CDDBReply::decode("Caf\xc3\xa9 \xe6\x9d\xb1"), QStringLiteral("Caf\u00e9 \u6771"));
    EXPECT_EQ(CDDBReply::decode("Caf\xe9"), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(CDDBReply::statusLineForPeople(QStringLiteral("500 Bad\x1b[2J \x07"
                                                            "email\r\nmore")),
              QStringLiteral("500 Bad[2J email"));
    EXPECT_EQ(CDDBReply::statusLineForPeople(QString(300, u'x')).size(), 200);

    EXPECT_EQ(CDDBReply::matchLines(crlf({"211 Found inexact matches", "rock 1402ce03 A / B",
                                          "jazz 1402ce04 C. / D", ".", "trailing"})),
              QStringList({QStringLiteral("rock 1402ce03 A / B"), QStringLiteral("jazz 1402ce04 C. / D")}));
    EXPECT_THROW(CDDBReply::matchLines(crlf({"211 x", "rock 1 A"})), VeskException);
}
