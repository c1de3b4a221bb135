// Whole conversations of the disc lookup with a CDDB server over real TCP on loopback.
#include "cddbserver.h"
#include "lookup/cddb/freedbaccess.h"
#include "support/recordinghost.h"
#include "support/testenvironment.h"
#include "support/veskriprun.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace {
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
        lookup->lookupCDInformation(s.address());
        return lookup;
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
};
} // namespace

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
    // Two exact matches (210), listed in the database's category order: the second is chosen.
    CddbServer s(m_root.path());
    m_host.choice = 1;
    const auto lookup = lookUp(s, kVanHalen);
    ASSERT_EQ(m_host.offered.size(), 1);
    EXPECT_EQ(m_host.offered[0],
              QStringList({u"Van Halen – Van Halen (misc) (misc)"_qs, u"Van Halen – Van Halen (rock)"_qs}));
    EXPECT_EQ(sent(s).at(3), u"cddb read rock 8608460b\n"_qs);
    ASSERT_TRUE(lookup->getAlbumInfo().has_value());
    EXPECT_EQ(lookup->getAlbumInfo()->getTitle(), u"Van Halen"_qs);
    EXPECT_EQ(lookup->getAlbumInfo()->getTracks().size(), 11);
    EXPECT_EQ(lookup->getAlbumInfo()->getOrigin(), AlbumOrigin::cddb(u"rock"_qs, u"8608460b"_qs));
    // Asking again asks for the disc again, not for identifier 0.
    lookup->lookupCDInformation(s.address());
    // (Lines of the two connections may interleave: the first one's "quit" can come late.)
    const QStringList both = sent(s, 10);
    EXPECT_EQ(both.count(both.at(2)), 2);
    EXPECT_EQ(both.count(both.at(3)), 2);
    EXPECT_TRUE(m_host.alerts.isEmpty());

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
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + ": " + c.reply.toStdString());
        LogCapture log;
        CddbServer s(m_root.path());
        const QString command = QString::fromLatin1(c.command);
        if (c.reply == "close")
            s.closeAt(command, 20);
        else if (c.reply == "silent")
            s.fallSilentAt(command);
        else
            s.answer(command, c.reply);
        EXPECT_FALSE(lookUp(s, kExample, c.reply == "silent" ? 1000 : 20000)->getAlbumInfo().has_value());
        const QString said = c.reply.contains(' ') && !c.reply.startsWith("21")
                                 ? QString::fromLatin1(c.reply.split('\r').first())
                                 : QString();
        const LookupFailure failure = expectFailure(log, s.address(), c.kind, said);
        EXPECT_EQ(failure.what == u"The server stopped answering."_qs, c.kind == Kind::Network);
        // The read goes out only once the query succeeded; quit only after a whole entry.
        EXPECT_EQ(sent(s).join(QString()).contains(u"cddb read"_qs), command == u"cddb read"_qs);
        EXPECT_FALSE(sent(s).contains(u"quit\n"_qs));
    }

    // A server that cannot be reached: the user learns which way, and what to check.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    for (const QString& server : {u"127.0.0.1"_qs, QString()}) {
        LogCapture log;
        FreedbAccess lookup(m_host, kExample);
        lookup.setPort(closedPort);
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
        EXPECT_FALSE(lookUp(s, kExample, 20000, email)->getAlbumInfo().has_value());
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
