#include "lookup/cddb/freedbaccess.h"

#include "common/log.h"
#include "common/printabletext.h"
#include "common/veskexception.h"
#include "lookup/cddb/cancellation.h"
#include "lookup/cddb/cddbentryparser.h"
#include "lookup/cddb/cddbfailure.h"
#include "lookup/cddb/cddbhttptransport.h"
#include "lookup/cddb/cddbreply.h"
#include "lookup/cddb/cddbserveraddress.h"
#include "lookup/cddb/cddbtcptransport.h"
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

const QString kNotGreeted = QStringLiteral("The server says Vesk has not greeted it.");
const QString kDamaged = QStringLiteral("The server's entry for this disc is damaged and cannot be sent.");

[[noreturn]] void fail(Kind kind, const QString& what, const QString& advice = {}, const QString& reply = {})
{
    CDDBFailure::fail(kind, what, advice, reply);
}

[[noreturn]] void failUnexplained(const QString& reply)
{
    CDDBFailure::failUnexplained(reply);
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

QStringList FreedbAccess::helloWords() const
{
    QString user = userName();
    QString host = hostName();
    const QString email = m_email.trimmed();
    const qsizetype at = email.indexOf(QLatin1Char('@'));
    if (at > 0 && isWord(email.left(at)) && isWord(email.mid(at + 1))) {
        user = email.left(at);
        host = email.mid(at + 1);
    }
    return {user, host, QStringLiteral("vesk"), QStringLiteral("v0.6.7")};
}

QString FreedbAccess::helloString() const
{
    return QStringLiteral("cddb hello %1\n").arg(helloWords().join(QLatin1Char(' ')));
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
            failure.advice = CDDBFailure::checkNetwork;
        }
    } catch (const std::exception& error) {
        failure.what = QStringLiteral("The lookup failed.");
        failure.detail = QString::fromLocal8Bit(error.what());
    }
    if (failure.kind == Kind::Cancelled || m_cancellation->isCancelled()) {
        veskLog(QStringLiteral("The lookup on %1 was stopped").arg(CDDBServerAddress::shownName(serverHost)));
        return;
    }
    failure.source = source(serverHost);
    failure.report(m_host);
}

QString FreedbAccess::source(const QString& serverHost)
{
    return QStringLiteral("the CDDB server %1").arg(CDDBServerAddress::shownName(serverHost)).trimmed();
}

std::unique_ptr<CDDBTransport> FreedbAccess::transportFor(const QString& serverHost) const
{
    const CDDBServerAddress address(serverHost, m_port);
    std::unique_ptr<CDDBTransport> transport;
    if (address.isWebAddress())
        transport = std::make_unique<CDDBHttpTransport>(address.url());
    else
        transport = std::make_unique<CDDBTcpTransport>(address.host(), address.port());
    transport->setHello(helloWords());
    transport->setEmail(m_email);
    transport->setTimeout(m_timeout);
    transport->setCancellation(m_cancellation);
    return transport;
}

void FreedbAccess::converse(const QString& serverHost)
{
    m_host.lookupProgress(QStringLiteral("Asking %1…").arg(source(serverHost)));
    // A chosen match clears the identifier; a later conversation asks for the disc again.
    m_cddbDiscid = m_toc.cddbDiscId();
    // The transport closes its connection when it goes out of scope, on either path.
    const std::unique_ptr<CDDBTransport> transport = transportFor(serverHost);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_conversationSeconds);
    transport->setDeadline(deadline);
    transport->open();
    const auto ask = [&transport](const QString& line) {
        return CDDBReply::decode(transport->exchange(line.trimmed()));
    };
    // Where the greeting goes with every command, a refusal of it is the reply to one.
    const auto checkGreeting = [this](qint32 code, const QString& reply) {
        if (CDDBFailure::refusesGreeting(code, reply))
            CDDBFailure::failGreeting(reply, m_email);
    };

    const QString queryReply = ask(queryString());
    const qint32 queryCode = CDDBReply::replyCode(queryReply);
    checkGreeting(queryCode, queryReply);
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
        transport->setDeadline(deadline);
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
        fail(Kind::Refused, kNotGreeted, CDDBFailure::tryLater, queryReply);
    case 0:
        failUnexplained(queryReply);
    default:
        fail(Kind::Refused,
             QStringLiteral("The server answered the disc query with a code Vesk does not know."),
             QStringLiteral("Try another CDDB server."), queryReply);
    }

    const QString entry = ask(command);
    const qint32 entryCode = CDDBReply::replyCode(entry);
    checkGreeting(entryCode, entry);
    switch (entryCode) {
    case 401:
        fail(Kind::Refused, QStringLiteral("The server listed this disc but has no entry for it."),
             CDDBFailure::tryLater, entry);
    case 402:
        fail(Kind::Refused, CDDBFailure::alreadyGreeted, CDDBFailure::tryLater, entry);
    case 403:
        fail(Kind::Refused, kDamaged, QStringLiteral("Try another CDDB server."), entry);
    case 409:
        fail(Kind::Refused, kNotGreeted, CDDBFailure::tryLater, entry);
    case 0:
        failUnexplained(entry);
    default:
        break;
    }
    // Any other reply without data lines (500, 501, 502 ...) carries no entry: that is no album.
    if (!CDDBReply::hasDataLines(entryCode))
        fail(Kind::Refused, QStringLiteral("The server sent no entry for this disc."), CDDBFailure::tryLater,
             entry);
    Album album = parseAlbumInfo(entry);
    // The read command names the entry the album comes from: "cddb read <category> <disc id>".
    const QStringList read = command.trimmed().split(QLatin1Char(' '));
    album.setOrigin(AlbumOrigin::cddb(read.value(2), read.value(3)));
    m_albumInfo = std::move(album);

    // The album is found; a server that has already gone away does not make this a failure.
    transport->close();
}
