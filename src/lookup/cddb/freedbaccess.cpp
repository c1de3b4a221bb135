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
#include "lookup/lookuphost.h"

#include <QSysInfo>
#include <chrono>
#include <pwd.h>
#include <unistd.h>

namespace {
const QString kErrorTitle = QStringLiteral("Freedb Error");
const QString kNotFound = QStringLiteral("freedb: I couldn't find this CD in the freedb database.");
const QString kDeclined = QStringLiteral("freedb: None of the matching CDs was chosen.");
const QString kUnexplained = QStringLiteral(
    "freedb: I got an error, but the server couldn't tell me what it was!  Aborting Connection");
const QString kAlreadyShookHands =
    QStringLiteral("freedb: I tired to shake hands with the server, but we already shook hands!");
const QString kCorrupt =
    QStringLiteral("freedb: The database entry for this cd is corrupt and cannot be retrieved.");
const QString kNoHandshake = QStringLiteral("freedb: It seems I forgot to shake hands with the server.");

using Kind = VeskException::Kind;

[[noreturn]] void fail(const QString& text, Kind kind)
{
    throw VeskException(text, text, kind);
}

// A failure that a reply brought: the server's own line follows our words, so that the user
// learns what the server wants (a real e-mail address, a later try, ...).
[[noreturn]] void fail(const QString& text, Kind kind, const QString& reply)
{
    const QString said = CDDBReply::statusLineForPeople(reply);
    fail(said.isEmpty() ? text : QStringLiteral("%1  The server said: %2").arg(text, said), kind);
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
        fail(QStringLiteral("freedb: The server's match for this CD could not be understood."),
             Kind::BadReply);
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
        fail(QStringLiteral("freedb: The server announced several matching CDs but listed none."),
             Kind::BadReply);
    const int index = m_host.displayMultipleAlbumMatches(lines);
    if (index == -1)
        return std::nullopt;
    if (index < 0 || index >= lines.size())
        fail(QStringLiteral("freedb: No valid match was chosen."), Kind::Other);
    return lines.at(index);
}

void FreedbAccess::lookupCDInformation(const QString& serverHost)
{
    const auto started = std::chrono::steady_clock::now();
    m_choosingTime = {};
    try {
        converse(serverHost);
    } catch (const VeskException& failure) {
        if (failure.kind() == Kind::Cancelled || m_cancellation->isCancelled()) {
            veskLog(QStringLiteral("The lookup on %1 was stopped").arg(serverHost));
            return;
        }
        QString reason = failure.reason();
        // The step that was cut short by the deadline says "timed out" like any slow step.
        if (std::chrono::steady_clock::now() - started - m_choosingTime >= std::chrono::seconds(m_conversationSeconds) &&
            failure.kind() == Kind::Network)
            reason = QStringLiteral("freedb: The server did not finish answering within %1 seconds.  "
                                    "Aborting Connection")
                         .arg(m_conversationSeconds);
        veskLog(QStringLiteral("%1 (%2):  %3").arg(kErrorTitle, failure.name(), reason));
        if (failure.deservesAlert())
            m_host.runAlertWithTitle(kErrorTitle, reason);
    } catch (const std::exception& failure) {
        const QString text = QStringLiteral("freedb: %1").arg(QString::fromLocal8Bit(failure.what()));
        veskLog(QStringLiteral("%1 (%2):  %3").arg(kErrorTitle, text, text));
        m_host.runAlertWithTitle(kErrorTitle, text);
    }
}

void FreedbAccess::converse(const QString& serverHost)
{
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
    socket->connectToHostName(serverHost, m_port);
    CDDBReplyReader reader(*socket);
    const auto nextReply = [&reader] { return CDDBReply::decode(reader.readReply()); };

    // A server that will not talk to us (432-434: no connections allowed) says why in its greeting.
    const QString greeting = nextReply();
    const qint32 greetingCode = CDDBReply::replyCode(greeting);
    if (greetingCode < 200 || greetingCode > 299)
        fail(QStringLiteral("freedb: The server does not take the connection."), Kind::Refused, greeting);

    socket->writeString(helloString());
    const QString hello = nextReply();
    switch (CDDBReply::replyCode(hello)) {
    case 402:
        fail(kAlreadyShookHands, Kind::Refused, hello);
    case 431:
        fail(QStringLiteral("freedb: Handshake was not successful; closing connection"), Kind::Refused,
             hello);
    case 500:
        fail(QStringLiteral("freedb: Command Syntax Error"), Kind::Refused, hello);
    case 0:
        fail(kUnexplained, Kind::BadReply, hello);
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
            fail(kUnexplained, Kind::BadReply, proto5);
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
            fail(kDeclined, Kind::Declined);
        command = buildCDDBReadEntryString(211, QStringLiteral("Stupid bogus data\n%1\n.").arg(*chosen));
        break;
    }
    case 202:
        fail(kNotFound, Kind::NotFound, queryReply);
    case 403:
        fail(kCorrupt, Kind::Refused, queryReply);
    case 409:
        fail(kNoHandshake, Kind::Refused, queryReply);
    case 0:
        fail(kUnexplained, Kind::BadReply, queryReply);
    default:
        fail(QStringLiteral("freedb: The server answered the query with a code I don't know.  "
                            "Aborting Connection"),
             Kind::Refused, queryReply);
    }

    socket->writeString(command);
    const QString entry = nextReply();
    switch (CDDBReply::replyCode(entry)) {
    case 401:
        fail(QStringLiteral("freedb: The CD should be in the database, but apparently isn't.   "
                            "(freedb: entry not found.)"),
             Kind::Refused, entry);
    case 402:
        fail(kAlreadyShookHands, Kind::Refused, entry);
    case 403:
        fail(kCorrupt, Kind::Refused, entry);
    case 409:
        fail(kNoHandshake, Kind::Refused, entry);
    case 0:
        fail(kUnexplained, Kind::BadReply, entry);
    default:
        break;
    }
    // Any other reply without data lines (500, 501, 502 ...) carries no entry: that is no album.
    if (!CDDBReply::hasDataLines(CDDBReply::replyCode(entry)))
        fail(QStringLiteral("freedb: The server sent no database entry for this CD."), Kind::Refused, entry);
    m_albumInfo = parseAlbumInfo(entry);

    // The album is found; a server that has already gone away does not make this a failure.
    try {
        socket->writeString(QStringLiteral("quit\n"));
    } catch (const VeskException&) {
    }
}
