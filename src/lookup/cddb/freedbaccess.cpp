#include "lookup/cddb/freedbaccess.h"

#include "common/log.h"
#include "common/printabletext.h"
#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/cddbentryparser.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/cddbreplyreader.h"
#include "lookup/cddb/socket.h"
#include "lookup/deferreddisclookup.h"
#include "lookup/lookuperror.h"
#include "lookup/lookupfailure.h"
#include "lookup/lookuphost.h"

#include <QSysInfo>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {
using Kind = VeskException::Kind;

const QString kTryLater = QStringLiteral("Try again later, or use another CDDB server.");
const QString kCheckServer = QStringLiteral("Check the CDDB server's name and your network connection.");
const QString kAlreadyGreeted = QStringLiteral("The server took Vesk's greeting for a second one.");
const QString kNotGreeted = QStringLiteral("The server says Vesk has not greeted it.");
const QString kDamaged = QStringLiteral("The server's entry for this disc is damaged and cannot be sent.");

// Ends the conversation. The server's own status line, when a reply brought the failure,
// follows our words, so that the user learns what the server wants (a real e-mail address, a
// later try, ...).
[[noreturn]] void fail(Kind kind, const QString& what, const QString& advice = {}, const QString& reply = {})
{
    LookupFailure failure;
    failure.kind = kind;
    failure.what = what;
    failure.advice = advice;
    failure.serverSaid = CDDBReply::statusLineForPeople(reply);
    throw LookupError(std::move(failure));
}

// A reply without a code: whatever answers there speaks no CDDB.
[[noreturn]] void failUnexplained(const QString& reply)
{
    fail(Kind::BadReply, QStringLiteral("The server answered with something that is not a CDDB reply."),
         QStringLiteral("Check that the CDDB server's name is that of a CDDB server."), reply);
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the connection could not be made, from the socket's failure: the name, a refusal, the time.
LookupFailure unreachable(const VeskException& failure, const QString& host, quint16 port)
{
    LookupFailure words;
    words.kind = Kind::Network;
    words.advice = kCheckServer;
    words.detail = failure.reason();
    switch (failure.systemError()) {
    case 0: // the resolver's failures carry no system error
        words.what = host.trimmed().isEmpty()
                         ? QStringLiteral("No server name was given.")
                         : QStringLiteral("The server name %1 could not be found.").arg(host);
        break;
    case ECONNREFUSED:
        words.what = QStringLiteral("The server refused the connection on port %1.").arg(port);
        break;
    case ETIMEDOUT:
        words.what = QStringLiteral("The server did not answer in time.");
        break;
    default:
        words.what = QStringLiteral("The server could not be reached: %1.")
                         .arg(systemErrorText(failure.systemError()));
        break;
    }
    return words;
}

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) {
        if (const passwd* entry = getpwuid(getuid()))
            name = QString::fromLocal8Bit(entry->pw_name);
    }
    return name.isEmpty() ? QStringLiteral("unknown") : name;
}

QString hostName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

// Whether text can stand as one word of a command: non-empty, no spaces or control characters.
bool isWord(const QString& text)
{
    bool clean = !text.isEmpty();
    for (const QChar c : text)
        clean = clean && c != QLatin1Char(' ') && !isControlCharacter(c);
    return clean;
}

// One word of a match line, checked so that it cannot change the command it is put into.
QString checkedWord(const QString& word)
{
    if (!isWord(word))
        fail(Kind::BadReply, QStringLiteral("The server's match for this disc could not be understood."));
    return word;
}
} // namespace

FreedbAccess::FreedbAccess(LookupHost& host, const DiscTOC& toc)
    : m_host(host), m_toc(toc), m_cddbDiscid(toc.cddbDiscId()),
      m_cancellation(std::make_shared<Cancellation>())
{
}

FreedbAccess::~FreedbAccess() = default;

void FreedbAccess::cancel()
{
    m_cancellation->cancel();
}

DiscLookupFactory FreedbAccess::factory(std::function<QString()> email, quint16 port, int timeout)
{
    return [email, port, timeout](LookupHost& host) -> std::unique_ptr<DiscLookup> {
        // The settings are read here, on the main thread; the disc is read on the worker.
        const QString address = email ? email() : QString();
        return std::make_unique<DeferredDiscLookup>(
            host, [address, port, timeout](LookupHost& worker, const DiscTOC& toc) {
                auto lookup = std::make_unique<FreedbAccess>(worker, toc);
                lookup->setPort(port);
                lookup->setTimeout(timeout);
                lookup->setEmail(address);
                return lookup;
            });
    };
}

QString FreedbAccess::helloString() const
{
    QString user = userName();
    QString host = hostName();
    const QString email = m_email.trimmed();
    const qsizetype at = email.indexOf(QLatin1Char('@'));
    if (at > 0 && isWord(email.left(at)) && isWord(email.mid(at + 1))) {
        user = email.left(at);
        host = email.mid(at + 1);
    }
    return QStringLiteral("cddb hello %1 %2 vesk v0.6.7\n").arg(user, host);
}

QString FreedbAccess::queryString() const
{
    QString line =
        QStringLiteral("cddb query %1 %2 ").arg(m_cddbDiscid, 8, 16, QLatin1Char('0')).arg(m_toc.numTracks());
    for (const qint64 offset : m_toc.trackOffsets())
        line += QString::number(offset) + QLatin1Char(' ');
    return line + QString::number(m_toc.totalTime()) + QLatin1Char('\n');
}

QString FreedbAccess::buildCDDBReadEntryString(qint32 code, const QString& text)
{
    const auto ownId = [this] { return QStringLiteral("%1").arg(m_cddbDiscid, 8, 16, QLatin1Char('0')); };
    if (code == 200) {
        // "200 <category> <id> <title>": the reply's identifier may be a variant; ours is asked for.
        QString line = text.section(QLatin1Char('\n'), 0, 0);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString category = checkedWord(line.section(QLatin1Char(' '), 1, 1));
        return QStringLiteral("cddb read %1 %2\n").arg(category, ownId());
    }
    if (code == 210 || code == 211) {
        // The match line is the text's second line: "<category> <id> <title>".
        QString line = text.section(QLatin1Char('\n'), 1, 1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString category = checkedWord(line.section(QLatin1Char(' '), 0, 0));
        const QString identifier = checkedWord(line.section(QLatin1Char(' '), 1, 1));
        m_cddbDiscid = 0;
        return QStringLiteral("cddb read %1 %2\n").arg(category, identifier);
    }
    return QStringLiteral("cddb read rock %1\n").arg(ownId());
}

std::optional<QString> FreedbAccess::getToken(const QString& key, const QString& info)
{
    return CDDBEntryParser::getToken(key, info);
}

Album FreedbAccess::parseAlbumInfo(const QString& info)
{
    return CDDBEntryParser::parseAlbumInfo(info);
}

std::optional<QString> FreedbAccess::displayAlbumSelectionDialog(const QString& reply)
{
    const QStringList lines = CDDBReply::matchLines(reply);
    if (lines.isEmpty())
        fail(Kind::BadReply, QStringLiteral("The server announced several matching discs but listed none."));
    // The chooser shows the matches as people read them; the raw lines name the entry to read.
    QStringList plain;
    for (const QString& line : lines)
        plain.append(CDDBReply::matchForPeople(line));
    // Two entries of one title in one category differ only in their disc ids.
    QStringList rows;
    for (qsizetype i = 0; i < lines.size(); ++i)
        rows.append(plain.count(plain.at(i)) > 1 ? CDDBReply::matchForPeople(lines.at(i), true)
                                                 : plain.at(i));
    const int index = m_host.displayMultipleAlbumMatches(rows);
    if (index == -1)
        return std::nullopt;
    if (index < 0 || index >= lines.size())
        fail(Kind::Other, QStringLiteral("No valid match was chosen."));
    return lines.at(index);
}

QString FreedbAccess::emailAdvice() const
{
    return QStringLiteral("%1 your e-mail address in the E-mail field beside the CDDB server (vesk-rip: "
                          "--email); the public server gnudb.gnudb.org refuses greetings without a "
                          "real one.")
        .arg(m_email.trimmed().isEmpty() ? QStringLiteral("Put") : QStringLiteral("Check"));
}

void FreedbAccess::lookupCDInformation(const QString& serverHost)
{
    const auto started = std::chrono::steady_clock::now();
    m_choosingTime = {};
    LookupFailure failure;
    try {
        converse(serverHost);
        return;
    } catch (const LookupError& error) {
        failure = error.failure();
    } catch (const VeskException& error) {
        // The parsers' and the reader's reasons are plain sentences; the socket's are not, and
        // the connect has said its own already.
        failure.kind = error.kind();
        failure.what = error.reason();
        if (error.kind() == Kind::Network) {
            failure.detail = error.reason();
            const bool pastDeadline = std::chrono::steady_clock::now() - started - m_choosingTime >=
                                      std::chrono::seconds(m_conversationSeconds);
            if (pastDeadline)
                failure.what = QStringLiteral("The server did not finish answering within %1 seconds.")
                                   .arg(m_conversationSeconds);
            else if (error.systemError() == ETIMEDOUT)
                failure.what = QStringLiteral("The server stopped answering.");
            else if (error.systemError() != 0)
                failure.what = QStringLiteral("The connection to the server broke off: %1.")
                                   .arg(systemErrorText(error.systemError()));
            else
                failure.what = QStringLiteral("The connection to the server broke off.");
            failure.advice = QStringLiteral("Check your network connection, or try again later.");
        }
    } catch (const std::exception& error) {
        failure.what = QStringLiteral("The lookup failed.");
        failure.detail = QString::fromLocal8Bit(error.what());
    }
    if (failure.kind == Kind::Cancelled || m_cancellation->isCancelled()) {
        veskLog(QStringLiteral("The lookup on %1 was stopped").arg(serverHost));
        return;
    }
    failure.source = source(serverHost);
    failure.report(m_host);
}

QString FreedbAccess::source(const QString& serverHost)
{
    return QStringLiteral("the CDDB server %1").arg(serverHost).trimmed();
}

void FreedbAccess::converse(const QString& serverHost)
{
    m_host.lookupProgress(QStringLiteral("Asking %1…").arg(source(serverHost)));
    // A chosen match clears the identifier; a later conversation asks for the disc again.
    m_cddbDiscid = m_toc.cddbDiscId();
    // The socket closes itself when it goes out of scope, on either path.
    const std::unique_ptr<Socket> socket = Socket::socket();
    if (m_timeout > 0)
        socket->setTimeout(m_timeout);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_conversationSeconds);
    socket->setDeadline(deadline);
    socket->setCancellation(m_cancellation);
    // Entries run to hundreds of kilobytes: fewer, larger receives.
    socket->setReadBufferSize(64 * 1024);
    try {
        socket->connectToHostName(serverHost, m_port);
    } catch (const VeskException& failure) {
        if (failure.kind() != Kind::Network)
            throw;
        throw LookupError(unreachable(failure, serverHost, m_port));
    }
    CDDBReplyReader reader(*socket);
    const auto nextReply = [&reader] { return CDDBReply::decode(reader.readReply()); };

    // A server that will not talk to us (432-434: no connections allowed) says why in its greeting.
    const QString greeting = nextReply();
    const qint32 greetingCode = CDDBReply::replyCode(greeting);
    if (greetingCode < 200 || greetingCode > 299)
        fail(Kind::Refused, QStringLiteral("The server takes no connections now."), kTryLater, greeting);

    socket->writeString(helloString());
    const QString hello = nextReply();
    switch (CDDBReply::replyCode(hello)) {
    case 402:
        fail(Kind::Refused, kAlreadyGreeted, kTryLater, hello);
    case 431: // handshake not successful
    case 500: // what the public server says to a greeting without a real e-mail address
        fail(Kind::Refused, QStringLiteral("The server refused Vesk's greeting."), emailAdvice(), hello);
    case 0:
        failUnexplained(hello);
    default:
        break;
    }

    // Level 6 is level 5 in UTF-8; level 5 brings year and genre. A server that refuses both
    // still answers at its own level. Either way the replies' bytes tell how they are encoded.
    socket->writeString(QStringLiteral("proto 6\n"));
    const QString proto6 = nextReply();
    const qint32 proto6Code = CDDBReply::replyCode(proto6);
    if (proto6Code != 201 && proto6Code != 502) {
        socket->writeString(QStringLiteral("proto 5\n"));
        const QString proto5 = nextReply();
        if (CDDBReply::replyCode(proto5) == 0)
            failUnexplained(proto5);
    }

    socket->writeString(queryString());
    const QString queryReply = nextReply();
    const qint32 queryCode = CDDBReply::replyCode(queryReply);
    QString command;
    switch (queryCode) {
    case 200:
        command = buildCDDBReadEntryString(200, queryReply);
        break;
    case 210:
    case 211: {
        // The user's reading time is not the server's: the deadline stands still meanwhile.
        const auto asked = std::chrono::steady_clock::now();
        const auto chosen = displayAlbumSelectionDialog(queryReply);
        const auto choosing = std::chrono::steady_clock::now() - asked;
        m_choosingTime += choosing;
        deadline += choosing;
        socket->setDeadline(deadline);
        if (!chosen)
            fail(Kind::Declined, QStringLiteral("None of the server's matches was chosen."));
        command = buildCDDBReadEntryString(211, QStringLiteral("Stupid bogus data\n%1\n.").arg(*chosen));
        break;
    }
    case 202:
        fail(Kind::NotFound, QStringLiteral("The server does not know this disc."), {}, queryReply);
    case 403:
        fail(Kind::Refused, kDamaged, QStringLiteral("Try another CDDB server."), queryReply);
    case 409:
        fail(Kind::Refused, kNotGreeted, kTryLater, queryReply);
    case 0:
        failUnexplained(queryReply);
    default:
        fail(Kind::Refused,
             QStringLiteral("The server answered the disc query with a code Vesk does not know."),
             QStringLiteral("Try another CDDB server."), queryReply);
    }

    socket->writeString(command);
    const QString entry = nextReply();
    switch (CDDBReply::replyCode(entry)) {
    case 401:
        fail(Kind::Refused, QStringLiteral("The server listed this disc but has no entry for it."), kTryLater,
             entry);
    case 402:
        fail(Kind::Refused, kAlreadyGreeted, kTryLater, entry);
    case 403:
        fail(Kind::Refused, kDamaged, QStringLiteral("Try another CDDB server."), entry);
    case 409:
        fail(Kind::Refused, kNotGreeted, kTryLater, entry);
    case 0:
        failUnexplained(entry);
    default:
        break;
    }
    // Any other reply without data lines (500, 501, 502 ...) carries no entry: that is no album.
    if (!CDDBReply::hasDataLines(CDDBReply::replyCode(entry)))
        fail(Kind::Refused, QStringLiteral("The server sent no entry for this disc."), kTryLater, entry);
    Album album = parseAlbumInfo(entry);
    // The read command names the entry the album comes from: "cddb read <category> <disc id>".
    const QStringList read = command.trimmed().split(QLatin1Char(' '));
    album.setOrigin(AlbumOrigin::cddb(read.value(2), read.value(3)));
    m_albumInfo = std::move(album);

    // The album is found; a server that has already gone away does not make this a failure.
    try {
        socket->writeString(QStringLiteral("quit\n"));
    } catch (const VeskException&) {
    }
}
