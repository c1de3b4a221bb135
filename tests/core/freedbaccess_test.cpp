// The CDDB lookup: entries and replies parsed from canned text, whole conversations with a server
// over real TCP on loopback, and what those cannot bring about on demand (a peer gone while we
// send, a name that does not resolve, a connect never answered, peers on IPv6).
#include "cddbserver.h"
#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/freedbaccess.h"
#include "lookup/cddb/socket.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

using Kind = VeskException::Kind;
const DiscTOC kExample = DiscTOC::fromOffsets({150, 18000, 36000}, 720 * 75);
const DiscTOC kVanHalen = DiscTOC::fromOffsets(
    {150, 16256, 23927, 35697, 52776, 69641, 85409, 98949, 115528, 130650, 145517}, 2120 * 75);
// Three titles of 2000 characters, each continued over many lines: the entry is well over 4096 bytes.
QString longTitle(int n)
{
    return u"Track %1 "_qs.arg(n) + QString(2000, QLatin1Char('a' + n));
}

class Lookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString body = u"DTITLE=Some Artist / Some Album\nDYEAR=1999\n"_qs;
        for (int n = 0; n < 3; ++n) {
            for (int at = 0; at < longTitle(n).size(); at += 60)
                body += u"TTITLE%1=%2\n"_qs.arg(n).arg(longTitle(n).mid(at, 60));
        }
        write(u"rock"_qs, kExample.cddbDiscId(), body.toUtf8());
        const QByteArray vanHalen =
            readTestFile(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries/rock-8608460b"));
        ASSERT_FALSE(vanHalen.isEmpty());
        write(u"rock"_qs, 0x8608460b, vanHalen);
        write(u"misc"_qs, 0x8608460b,
              QByteArray(vanHalen).replace("DTITLE=Van Halen / Van Halen",
                                           "DTITLE=Van Halen / Van Halen (misc)"));
    }
    void write(const QString& category, quint32 id, const QByteArray& bytes)
    {
        ASSERT_TRUE(writeTestFile(m_root.filePath(category + u'/' + discIdText(id)), bytes));
    }
    // Runs one lookup of the disc against a server not yet listening.
    std::unique_ptr<FreedbAccess> lookUp(CddbServer& s, const DiscTOC& toc, int timeout = 20000,
                                         const QString& email = {}, int conversationSeconds = 0)
    {
        EXPECT_TRUE(s.listen()) << s.errorString().toStdString();
        auto lookup = std::make_unique<FreedbAccess>(m_host, toc);
        lookup->setPort(s.port());
        lookup->setTimeout(timeout);
        lookup->setEmail(email);
        if (conversationSeconds > 0)
            lookup->setConversationSeconds(conversationSeconds);
        lookup->lookupCDInformation(m_overHttp ? m_overHttp(s) : s.address());
        return lookup;
    }
    // The same at the server's CGI over HTTP, or at the address made of the listening server.
    std::unique_ptr<FreedbAccess> lookUpOverHttp(CddbServer& s, const DiscTOC& toc, int timeout = 20000,
                                                 const QString& email = {},
                                                 std::function<QString(const CddbServer&)> address = {})
    {
        m_overHttp = address ? std::move(address) : [](const CddbServer& server) { return server.cgiUrl(); };
        auto lookup = lookUp(s, toc, timeout, email);
        m_overHttp = {};
        return lookup;
    }
    static QStringList requests(const CddbServer& s, int atLeast = 0)
    {
        waitUntil([&] { return s.requestLines().size() >= atLeast; }, 5000);
        QStringList lines;
        for (const QByteArray& line : s.requestLines())
            lines << QString::fromUtf8(line);
        return lines;
    }
    // What the server has received so far; waits a little for lines still on their way.
    static QStringList sent(const CddbServer& s, int atLeast = 0)
    {
        waitUntil([&] { return s.receivedLines().size() >= atLeast; }, 5000);
        QStringList lines;
        for (const QByteArray& line : s.receivedLines())
            lines << QString::fromUtf8(line);
        return lines;
    }
    // The one log line a failure leaves, naming the server, and the one failure shown (none for
    // a disc the server does not know or a declined choice); the server's words once in each.
    LookupFailure expectFailure(const LogCapture& log, const QString& server, Kind kind,
                                const QString& said = {})
    {
        const QString line = log.lines().join(u'\n');
        EXPECT_EQ(log.lines().size(), 1) << line.toStdString();
        EXPECT_TRUE(line.contains((u"the CDDB server "_qs + server).trimmed())) << line.toStdString();
        const bool shown = kind != Kind::NotFound && kind != Kind::Declined;
        EXPECT_EQ(m_host.failures.size(), shown ? 1 : 0);
        const LookupFailure failure = m_host.failures.value(0);
        if (shown) {
            EXPECT_EQ(failure.kind, kind);
            EXPECT_EQ(failure.serverSaid, said);
            // By default a failure is an alert of its title and text.
            EXPECT_EQ(m_host.alerts, QStringList{failure.title() + u'|' + failure.text()});
        }
        if (!said.isEmpty()) {
            EXPECT_EQ(line.count(said), 1) << line.toStdString();
            EXPECT_EQ(m_host.alerts.join(QString()).count(said), shown ? 1 : 0);
        }
        m_host.clear();
        return failure;
    }

    TestEnvironment m_env;
    QTemporaryDir m_root;
    RecordingHost m_host;
    LogCapture m_log;
    std::function<QString(const CddbServer&)> m_overHttp;
};

struct Failure {
    QString name;
    QString reason;
    VeskException::Kind kind = VeskException::Kind::Other;
};

// What the exception that call raises says; empty texts when it raises nothing.
template <typename Call> Failure failureOf(Call call)
{
    try {
        call();
    } catch (const VeskException& e) {
        return {e.name(), e.reason(), e.kind()};
    }
    return {};
}

std::uint16_t localPort(const AbstractSocket& socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.socketfd(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
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
    const DiscTOC& toc = kExample;
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

TEST_F(Lookup, OneMatchGivesTheWholeAlbumHoweverTheRepliesAreSplit)
{
    static const QRegularExpression hello(u"^cddb hello [^ ]+ [^ ]+ vesk v0\\.6\\.7\n$"_qs);
    for (const int chunk : {0, 1, 1000}) {
        SCOPED_TRACE(chunk);
        CddbServer s(m_root.path());
        if (chunk > 0)
            s.splitReplies(chunk, chunk == 1 ? 0 : 1);
        const auto album = lookUp(s, kExample)->getAlbumInfo();
        ASSERT_TRUE(album.has_value());
        EXPECT_EQ(album->getTitle(), u"Some Album"_qs);
        ASSERT_EQ(album->getTracks().size(), 3);
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(album->getTracks()[n].getTitle(), longTitle(n));
        const QStringList lines = sent(s, 5);
        ASSERT_EQ(lines.size(), 5);
        EXPECT_TRUE(hello.match(lines[0]).hasMatch()) << lines[0].toStdString();
        EXPECT_EQ(lines.mid(1),
                  QStringList({u"proto 6\n"_qs, u"cddb query 1402ce03 3 150 18000 36000 720\n"_qs,
                               u"cddb read rock 1402ce03\n"_qs, u"quit\n"_qs}));
        EXPECT_EQ(album->getOrigin(), AlbumOrigin::cddb(u"rock"_qs, u"1402ce03"_qs));
        // The status line names the server really asked.
        EXPECT_EQ(m_host.progress.last(), u"Asking the CDDB server %1…"_qs.arg(s.address()));
    }
    EXPECT_TRUE(m_host.offered.isEmpty());
    EXPECT_TRUE(m_host.alerts.isEmpty());
    EXPECT_TRUE(m_log.lines().isEmpty());

    // What is no e-mail address does not reach the hello (a real one is vesk-rip's disc test).
    CddbServer s(m_root.path());
    lookUp(s, kExample, 20000, u"two words@x"_qs);
    EXPECT_TRUE(hello.match(sent(s, 1).at(0)).hasMatch() && !sent(s).at(0).contains(u"words"_qs));
}

// Level 6 and its UTF-8 titles are vesk-rip's test.
TEST_F(Lookup, LatinOneTitlesFromALevelFiveServerAndUTF8IfItSendsThat)
{
    const QByteArray entry =
        "DTITLE=DC/AC / Reverse Current\nTTITLE0=\xe6\x9d\xb1\xe4\xba\xac\n"
        "TTITLE1=\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0\nTTITLE2=Caf\xc3\xa9\n";
    write(u"misc"_qs, kExample.cddbDiscId(), entry);
    QDir(m_root.filePath(u"rock"_qs)).removeRecursively();
    for (const bool utf8Anyway : {false, true}) {
        SCOPED_TRACE(utf8Anyway);
        CddbServer s(m_root.path());
        s.setHighestLevel(5);
        if (utf8Anyway)
            s.answer(u"cddb read"_qs, "210 misc 1402ce03 CD database entry follows\r\n" +
                                          QByteArray(entry).replace("\n", "\r\n") + ".\r\n");
        const auto album = lookUp(s, kExample)->getAlbumInfo();
        ASSERT_TRUE(album.has_value());
        QStringList titles;
        for (const Track& track : album->getTracks())
            titles << track.getTitle();
        const QStringList expected{utf8Anyway ? u"東京"_qs : u"??"_qs,
                                   utf8Anyway ? u"Москва"_qs : u"??????"_qs, u"Café"_qs};
        EXPECT_EQ(titles, expected);
        EXPECT_EQ(sent(s, 4).at(2), u"proto 5\n"_qs);
    }
    EXPECT_TRUE(m_host.alerts.isEmpty());
}

TEST_F(Lookup, SeveralMatchesAreOfferedAndTheChosenOneIsRead)
{
    // Two exact matches (210), listed in the database's category order: the second is chosen,
    // over CDDBP and over HTTP alike.
    for (const bool http : {true, false}) {
        SCOPED_TRACE(http);
        m_host.clear();
        CddbServer s(m_root.path());
        m_host.choice = 1;
        const auto lookup = http ? lookUpOverHttp(s, kVanHalen) : lookUp(s, kVanHalen);
        ASSERT_EQ(m_host.offered.size(), 1);
        EXPECT_EQ(m_host.offered[0], QStringList({u"Van Halen – Van Halen (misc) (misc)"_qs,
                                                  u"Van Halen – Van Halen (rock)"_qs}));
        EXPECT_EQ(http ? requests(s, 2).value(1).section(u'&', 0, 0) : sent(s).at(3),
                  http ? u"GET /~cddb/cddb.cgi?cmd=cddb+read+rock+8608460b"_qs
                       : u"cddb read rock 8608460b\n"_qs);
        ASSERT_TRUE(lookup->getAlbumInfo().has_value());
        EXPECT_EQ(lookup->getAlbumInfo()->getTitle(), u"Van Halen"_qs);
        EXPECT_EQ(lookup->getAlbumInfo()->getOrigin(), AlbumOrigin::cddb(u"rock"_qs, u"8608460b"_qs));
        EXPECT_TRUE(m_host.alerts.isEmpty());
        if (http)
            continue;
        // Asking again asks for the disc again, not for identifier 0.
        lookup->lookupCDInformation(s.address());
        // (Lines of the two connections may interleave: the first one's "quit" can come late.)
        const QStringList both = sent(s, 10);
        EXPECT_EQ(both.count(both.at(2)), 2);
        EXPECT_EQ(both.count(both.at(3)), 2);
    }

    // Rows of one title in one category tell their disc ids; nothing raw reaches the chooser.
    // Choosing none of them is no failure to show.
    CddbServer inexact(m_root.path());
    inexact.answer(u"cddb query"_qs,
                   "211 Found inexact matches, list follows (until terminating `.')\r\n"
                   "rock 1402ce03 A / B\r\nrock 1402ce04 A / B\r\nrock 1402ce05 A\x07/ C\r\n.");
    m_host.clear();
    m_host.choice = -1;
    LogCapture log;
    EXPECT_FALSE(lookUp(inexact, kExample)->getAlbumInfo().has_value());
    ASSERT_EQ(m_host.offered.size(), 1);
    EXPECT_EQ(m_host.offered[0],
              QStringList({u"A – B (rock, 1402ce03)"_qs, u"A – B (rock, 1402ce04)"_qs, u"A – C (rock)"_qs}));
    expectFailure(log, inexact.address(), Kind::Declined);
}

TEST_F(Lookup, EveryFailureEndsTheConversationInWordsWithTheServersOwn)
{
    // A reply "close" sends 20 bytes of the real reply and hangs up, "silent" never answers.
    // The server's line follows our words wherever a reply ended the conversation.
    const struct {
        const char* command;
        QByteArray reply;
        Kind kind;
    } cases[] = {
        {"banner", "432 No connections allowed: permission denied", Kind::Refused},
        {"cddb hello", "Hello there", Kind::BadReply},
        {"cddb query", "202 No match for disc ID 1402ce03.", Kind::NotFound},
        {"cddb query", "403 Database entry is corrupt.", Kind::Refused},
        {"cddb query", "500 Command syntax error.", Kind::Refused},
        {"cddb query", "211 Found inexact matches, list follows (until terminating `.')\r\n.",
         Kind::BadReply},
        {"cddb read", "401 rock 1402ce03 No such CD entry in database.", Kind::Refused},
        {"cddb read", "402 Already shook hands.", Kind::Refused},
        {"cddb read", "502 Already read rock 1402ce03", Kind::Refused},
        {"cddb read", "close", Kind::BadReply},
        {"banner", "silent", Kind::Network},
        {"cddb read", "silent", Kind::Network},
    };
    // Over HTTP, where there is no banner, each reply comes back the same way.
    for (const auto& c : cases)
        for (const bool http : {false, true}) {
            if (http && c.command == std::string("banner"))
                continue;
            SCOPED_TRACE(std::string(http ? "http " : "") + c.command + ": " + c.reply.toStdString());
            LogCapture log;
            CddbServer s(m_root.path());
            const QString command = QString::fromLatin1(c.command);
            if (c.reply == "close")
                s.closeAt(command, 20);
            else if (c.reply == "silent")
                s.fallSilentAt(command);
            else
                s.answer(command, c.reply);
            const int timeout = c.reply == "silent" ? 1000 : 20000;
            EXPECT_FALSE(
                (http ? lookUpOverHttp(s, kExample, timeout) : lookUp(s, kExample, timeout))->getAlbumInfo());
            const QString said = c.reply.contains(' ') && !c.reply.startsWith("21")
                                     ? QString::fromLatin1(c.reply.split('\r').first())
                                     : QString();
            const LookupFailure failure = expectFailure(log, s.address(), c.kind, said);
            EXPECT_EQ(failure.what == u"The server stopped answering."_qs, c.kind == Kind::Network);
            if (c.reply == "close") {
                EXPECT_EQ(failure.what,
                          u"The server closed the connection before its reply was complete."_qs);
            }
            // The read goes out only once the query succeeded; quit only after a whole entry.
            const QString talk = (http ? requests(s) : sent(s)).join(QString()).replace(u'+', u' ');
            EXPECT_EQ(talk.contains(u"cddb read"_qs), command == u"cddb read"_qs);
            EXPECT_FALSE(talk.contains(u"quit"_qs));
        }

    // A server that cannot be reached: the user learns which way, and what to check.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    // A port given with the host ("host:port") stands for the usual one.
    for (const QString& server : {u"127.0.0.1"_qs, QString(), u"127.0.0.1:%1"_qs.arg(closedPort)}) {
        LogCapture log;
        FreedbAccess lookup(m_host, kExample);
        lookup.setPort(server.contains(u':') ? FreedbAccess::defaultPort : closedPort);
        lookup.lookupCDInformation(server);
        const LookupFailure failure = expectFailure(log, server, Kind::Network);
        EXPECT_EQ(failure.what, server.isEmpty()
                                    ? u"No server name was given."_qs
                                    : u"The server refused the connection on port %1."_qs.arg(closedPort));
        EXPECT_TRUE(failure.advice.contains(u"server's name and your network"_qs));
    }

    // The protocol level's answer is examined only for a missing code.
    CddbServer s(m_root.path());
    s.answer(u"proto"_qs, "501 Illegal protocol level.");
    EXPECT_TRUE(lookUp(s, kExample)->getAlbumInfo().has_value());
}

// The public server refuses a greeting without a real e-mail address: the user learns where to
// put one (or to check the one given), and what the server said, once.
TEST_F(Lookup, ARefusedGreetingPointsToTheEmailField)
{
    for (const QString& email : {QString(), u"alice@example.org"_qs}) {
        SCOPED_TRACE(email.toStdString());
        LogCapture log;
        CddbServer s(m_root.path());
        s.answer(u"cddb hello"_qs, "500 Unknown developer email for vesk v0.6.7\x1b[0m");
        // Without an address over CDDBP, with one over HTTP (where the greeting rides every request).
        EXPECT_FALSE((email.isEmpty() ? lookUp(s, kExample) : lookUpOverHttp(s, kExample, 20000, email))
                         ->getAlbumInfo()
                         .has_value());
        const QString said = u"500 Unknown developer email for vesk v0.6.7[0m"_qs;
        const LookupFailure failure = expectFailure(log, s.address(), Kind::Refused, said);
        EXPECT_EQ(failure.what, u"The server refused Vesk's greeting."_qs);
        EXPECT_TRUE(failure.advice.startsWith(email.isEmpty() ? u"Put your e-mail address"_qs
                                                              : u"Check your e-mail address"_qs));
        EXPECT_TRUE(failure.advice.contains(u"E-mail field"_qs) && failure.advice.contains(u"--email"_qs));
    }
}

// The whole conversation has a deadline: one byte every 1.5 s passes every step's time-out but
// not the conversation's. The time the user takes to choose among the matches does not count.
TEST_F(Lookup, TheDeadlineEndsATricklingServerAndStandsStillWhileTheUserChooses)
{
    CddbServer trickling(m_root.path());
    trickling.splitReplies(1, 1500);
    lookUp(trickling, kExample, 20000, {}, 3);
    const LookupFailure failure = expectFailure(m_log, trickling.address(), Kind::Network);
    EXPECT_EQ(failure.what, u"The server did not finish answering within 3 seconds."_qs);
    EXPECT_TRUE(failure.detail.startsWith(u"Socket: Recv failed"_qs)) << failure.detail.toStdString();

    CddbServer s(m_root.path());
    m_host.readingMilliseconds = 1500;
    EXPECT_TRUE(lookUp(s, kVanHalen, 20000, {}, 1)->getAlbumInfo().has_value())
        << m_host.alerts.join(u'\n').toStdString();
}

TEST_F(Lookup, AMegabyteEntryGivesTheFirstNinetyNineTracks)
{
    QByteArray entry = "DTITLE=Big / Entry\n";
    for (int n = 0; n < 15000; ++n)
        entry += "TTITLE" + QByteArray::number(n) +
                 "=A title long enough to make the entry a whole megabyte " + QByteArray::number(n) + "\n";
    ASSERT_GT(entry.size(), 1024 * 1024);
    write(u"rock"_qs, kExample.cddbDiscId(), entry);
    CddbServer s(m_root.path());
    const auto album = lookUp(s, kExample)->getAlbumInfo();
    ASSERT_TRUE(album.has_value());
    EXPECT_EQ(album->getTracks().size(), 99);
    EXPECT_EQ(album->getTracks().last().getTitle(),
              u"A title long enough to make the entry a whole megabyte 98"_qs);
    EXPECT_EQ(m_log.lines().size(), 1);
}

// Over HTTP each command is one GET of the CGI, greeted and at level 6 every time, words joined
// by "+" and percent-encoded where they must be; the host names the server, not the whole address.
TEST_F(Lookup, OverHttpEachCommandIsOneRequestOfTheSameConversation)
{
    const auto get = [](const QString& command, const QString& level) {
        return u"GET /~cddb/cddb.cgi?cmd="_qs + command +
               u"&hello=alice%2Bcddb+example.org+vesk+v0.6.7&proto="_qs + level + u" HTTP/1.1"_qs;
    };
    CddbServer s(m_root.path());
    const auto album = lookUpOverHttp(s, kExample, 20000, u"alice+cddb@example.org"_qs)->getAlbumInfo();
    ASSERT_TRUE(album.has_value());
    EXPECT_EQ(album->getTitle(), u"Some Album"_qs);
    ASSERT_EQ(album->getTracks().size(), 3);
    EXPECT_EQ(album->getTracks()[2].getTitle(), longTitle(2));
    EXPECT_EQ(album->getOrigin(), AlbumOrigin::cddb(u"rock"_qs, u"1402ce03"_qs));
    EXPECT_EQ(requests(s, 2), QStringList({get(u"cddb+query+1402ce03+3+150+18000+36000+720"_qs, u"6"_qs),
                                           get(u"cddb+read+rock+1402ce03"_qs, u"6"_qs)}));
    EXPECT_TRUE(s.receivedLines().isEmpty());
    EXPECT_EQ(m_host.progress.last(), u"Asking the CDDB server 127.0.0.1…"_qs);
    EXPECT_TRUE(m_host.alerts.isEmpty());

    // A level-5 server refuses level 6 in its first reply: the command is asked again at 5.
    CddbServer older(m_root.path());
    older.setHighestLevel(5);
    EXPECT_TRUE(lookUpOverHttp(older, kExample, 20000, u"alice+cddb@example.org"_qs)->getAlbumInfo());
    const QStringList asked = requests(older, 3);
    ASSERT_EQ(asked.size(), 3);
    EXPECT_TRUE(asked[0].contains(u"&proto=6 "_qs) && asked[1].contains(u"&proto=5 "_qs) &&
                asked[2].startsWith(u"GET /~cddb/cddb.cgi?cmd=cddb+read+"_qs) &&
                asked[2].contains(u"&proto=5 "_qs))
        << asked.join(u'\n').toStdString();
    EXPECT_TRUE(m_host.alerts.isEmpty());
}

TEST_F(Lookup, OverHttpEveryFailureIsSaidWithoutHangingOrCrashing)
{
    const QByteArray plain = "Content-Type: text/plain\r\n";
    const struct {
        const char* name;
        std::function<void(CddbServer&)> misbehave;
        Kind kind;
        QString what;
        QString said;
    } cases[] = {
        {"server error", [&](CddbServer& s) { s.answerHttp(500, "oops\n", plain); }, Kind::Refused,
         u"The server failed to answer the request."_qs, u"HTTP 500 Internal Server Error"_qs},
        {"no such page", [](CddbServer& s) { s.answerHttp(404, "<html>gone</html>"); }, Kind::Refused,
         u"There is no CDDB server at this address."_qs, u"HTTP 404 Not Found"_qs},
        {"web page",
         [&](CddbServer& s) { s.answerHttp(200, "\n  <!DOCTYPE html><html>Maintenance</html>", plain); },
         Kind::BadReply,
         u"The server sent a web page instead of a CDDB reply."_qs,
         {}},
        {"elsewhere",
         [](CddbServer& s) {
             s.answerHttp(302, {}, "Location: http://elsewhere.invalid/~cddb/cddb.cgi\r\n");
         },
         Kind::Refused,
         u"The server sent the request on to another server, elsewhere.invalid."_qs,
         {}},
        {"far too long",
         [&](CddbServer& s) {
             s.answerHttp(200, "210 rock 1402ce03 entry\r\n" + QByteArray(5 * 1024 * 1024, 'x'), plain);
         },
         Kind::BadReply,
         u"The server's reply is far too long."_qs,
         {}},
        // A redirection on the same host is followed, here to a page the server does not have.
        {"moved", [](CddbServer& s) { s.answerHttp(301, {}, "Location: /moved/cddb.cgi\r\n"); },
         Kind::Refused, u"There is no CDDB server at this address."_qs, u"HTTP 404 Not Found"_qs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        CddbServer s(m_root.path());
        c.misbehave(s);
        EXPECT_FALSE(lookUpOverHttp(s, kExample)->getAlbumInfo());
        EXPECT_EQ(expectFailure(log, u"127.0.0.1"_qs, c.kind, c.said).what, c.what);
    }

    // Nothing listens on the port; a TLS handshake meets a plain HTTP server; no scheme Vesk speaks.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    CddbServer s(m_root.path());
    const struct {
        QString address;
        Kind kind;
        QString what;
    } unreachable[] = {
        {u"http://127.0.0.1:%1/~cddb/cddb.cgi"_qs.arg(closedPort), Kind::Network,
         u"The server refused the connection on port %1."_qs.arg(closedPort)},
        {u"https://127.0.0.1:%1/~cddb/cddb.cgi"_qs, Kind::Network, {}},
        {u"ftp://127.0.0.1/~cddb/cddb.cgi"_qs, Kind::Other,
         u"Vesk asks CDDB servers on the web at http:// or https:// addresses only."_qs},
    };
    for (const auto& [address, kind, what] : unreachable) {
        SCOPED_TRACE(address.toStdString());
        LogCapture log;
        lookUpOverHttp(s, kExample, 5000, {}, [&address](const CddbServer& server) {
            return address.contains(u"%1"_qs) ? address.arg(server.httpPort()) : address;
        });
        const LookupFailure failure = expectFailure(log, u"127.0.0.1"_qs, kind);
        if (!what.isEmpty()) {
            EXPECT_EQ(failure.what, what);
        }
        s.stop();
    }

    // Stop ends a request that waits for its answer at once, as a cancel and not as a failure.
    CddbServer silent(m_root.path());
    silent.fallSilentAt(u"cddb query"_qs);
    ASSERT_TRUE(silent.listen());
    FreedbAccess lookup(m_host, kExample);
    std::thread stopper([&] {
        waitUntil([&] { return !silent.requestLines().isEmpty(); }, 20000);
        lookup.cancel();
    });
    LogCapture log;
    lookup.lookupCDInformation(silent.cgiUrl());
    stopper.join();
    EXPECT_EQ(log.lines(), QStringList{u"The lookup on 127.0.0.1 was stopped"_qs});
    EXPECT_TRUE(m_host.failures.isEmpty());
}

TEST(Socket, SendingToAClosedPeerRaisesInsteadOfEndingTheProcess)
{
    auto server = Socket::socket();
    server->listenOnPort(0, 5);
    auto client = Socket::socket();
    client->connectToHostName(u"localhost"_qs, localPort(*server));
    server->acceptConnection();
    server->close();
    const auto failure = failureOf([&] {
        for (int i = 0; i < 100; ++i)
            client->writeData(QByteArray(1000, 'y'));
    });
    EXPECT_EQ(failure.name, u"Socket: Send failed"_qs);
    EXPECT_TRUE(failure.reason.startsWith(u"Socket: Send failed: "_qs)) << failure.reason.toStdString();
    EXPECT_EQ(failure.kind, VeskException::Kind::Network);
}

TEST(Socket, ConnectFailuresAndTimeOutsCarryTheSystemReason)
{
    // An empty name fails in the resolver itself, without asking any name server.
    const auto unknown = failureOf([&] { Socket::socket()->connectToHostName(QString(), 8880); });
    EXPECT_EQ(unknown.name, u"Socket: Host not found"_qs);
    EXPECT_TRUE(unknown.reason.startsWith(u"Socket: Host not found: "_qs));
    EXPECT_EQ(unknown.kind, VeskException::Kind::Network);

    // A listener whose queue is full never answers: the connect times out.
    auto server = Socket::socket();
    server->listenOnPort(0, 1);
    std::vector<std::unique_ptr<Socket>> waiting;
    Failure connect;
    for (int i = 0; i < 8 && connect.name.isEmpty(); ++i) {
        waiting.push_back(Socket::socket());
        waiting.back()->setTimeout(200);
        connect = failureOf([&] { waiting.back()->connectToHostName(u"127.0.0.1"_qs, localPort(*server)); });
    }
    EXPECT_EQ(connect.reason, u"Socket: Connect failed: Connection timed out"_qs);
    EXPECT_EQ(connect.kind, VeskException::Kind::Network);

    // Stop ends a connect as a cancel, not as a failure of the network.
    auto stopped = Socket::socket();
    auto cancellation = std::make_shared<Cancellation>();
    stopped->setCancellation(cancellation);
    cancellation->cancel();
    const auto cancelled =
        failureOf([&] { stopped->connectToHostName(u"127.0.0.1"_qs, localPort(*server)); });
    EXPECT_EQ(cancelled.name, u"Socket: Cancelled"_qs);
    EXPECT_EQ(cancelled.kind, VeskException::Kind::Cancelled);
}

TEST(Socket, IPv6PeersAreReachedAndNamedByTheirAddress)
{
    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof local;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&local), length) < 0) {
        if (listener >= 0)
            ::close(listener);
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    }
    ASSERT_EQ(::listen(listener, 1), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length);

    // The new socket is an IPv4 one until it connects.
    auto client = Socket::socket();
    client->connectToHostName(u"::1"_qs, ntohs(local.sin6_port));
    EXPECT_EQ(client->remoteHostName(), u"::1"_qs);
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
    ::close(listener);
    ASSERT_GE(fd, 0);
    Socket accepted(fd, peer);
    EXPECT_EQ(accepted.remoteHostName(), u"::1"_qs);
    EXPECT_NE(accepted.remotePort(), 0);
    client->writeString(u"quit\n"_qs);
    QByteArray received;
    accepted.readData(&received);
    EXPECT_EQ(received, QByteArray("quit\n"));

    // An IPv4 peer of an IPv6 listener is shown as the IPv4 address it is.
    in6_addr mapped{};
    ASSERT_EQ(::inet_pton(AF_INET6, "::ffff:127.0.0.9", &mapped), 1);
    EXPECT_EQ(AbstractSocket::dottedIPFromAddress(mapped), u"127.0.0.9"_qs);
}
