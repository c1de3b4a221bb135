#include "lookup/freedbaccess.h"

#include "common/log.h"
#include "common/veskexception.h"
#include "disc/disctocreader.h"
#include "lookup/cddbentryparser.h"
#include "lookup/cddbreply.h"
#include "lookup/cddbreplyreader.h"
#include "lookup/lookuphost.h"
#include "net/socket.h"

#include <QSysInfo>
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

[[noreturn]] void fail(const QString& text)
{
    throw VeskException(text, text);
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

// One word of a match line: non-empty and free of spaces and control characters, so that it
// cannot change the command it is put into.
QString checkedWord(const QString& word)
{
    bool clean = !word.isEmpty();
    for (const QChar c : word)
        clean = clean && c.unicode() > 0x20 && c.unicode() != 0x7f;
    if (!clean)
        fail(QStringLiteral("freedb: The server's match for this CD could not be understood."));
    return word;
}
} // namespace

FreedbAccess::FreedbAccess(LookupHost& host, const DiscTOC& toc)
    : m_host(host), m_toc(toc), m_cddbDiscid(toc.cddbDiscId())
{
}

std::unique_ptr<FreedbAccess> FreedbAccess::create(LookupHost& host)
{
    const auto toc = DiscTOCReader::readDiscTOC(host.getChosenCDName());
    if (!toc)
        return nullptr;
    return std::make_unique<FreedbAccess>(host, *toc);
}

DiscLookupFactory FreedbAccess::factory(quint16 port, int timeout)
{
    return [port, timeout](LookupHost& host) -> std::unique_ptr<DiscLookup> {
        auto lookup = create(host);
        if (lookup) {
            lookup->setPort(port);
            lookup->setTimeout(timeout);
        }
        return lookup;
    };
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
        fail(QStringLiteral("freedb: The server announced several matching CDs but listed none."));
    const int index = m_host.displayMultipleAlbumMatches(lines);
    if (index == -1)
        return std::nullopt;
    if (index < 0 || index >= lines.size())
        fail(QStringLiteral("freedb: No valid match was chosen."));
    return lines.at(index);
}

void FreedbAccess::lookupCDInformation(const QString& serverHost)
{
    try {
        converse(serverHost);
    } catch (const VeskException& failure) {
        veskLog(QStringLiteral("%1 (%2):  %3").arg(kErrorTitle, failure.name(), failure.reason()));
        if (failure.reason() != kNotFound && failure.reason() != kDeclined)
            m_host.runAlertWithTitle(kErrorTitle, failure.reason());
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
    socket->connectToHostName(serverHost, m_port);
    CDDBReplyReader reader(*socket);

    // The greeting is not examined: a server that refuses us says so again to the hello.
    reader.readReply();

    socket->writeString(QStringLiteral("cddb hello %1 %2 vesk v0.6.7\n").arg(userName(), hostName()));
    switch (CDDBReply::replyCode(reader.readReply())) {
    case 402:
        fail(kAlreadyShookHands);
    case 431:
        fail(QStringLiteral("freedb: Handshake was not successful; closing connection"));
    case 500:
        fail(QStringLiteral("freedb: Command Syntax Error"));
    case 0:
        fail(kUnexplained);
    default:
        break;
    }

    // Level 5 brings year and genre; a server that refuses it still answers at its own level.
    socket->writeString(QStringLiteral("proto 5\n"));
    if (CDDBReply::replyCode(reader.readReply()) == 0)
        fail(kUnexplained);

    socket->writeString(queryString());
    const QString queryReply = reader.readReply();
    const qint32 queryCode = CDDBReply::replyCode(queryReply);
    QString command;
    switch (queryCode) {
    case 200:
        command = buildCDDBReadEntryString(200, queryReply);
        break;
    case 210:
    case 211: {
        const auto chosen = displayAlbumSelectionDialog(queryReply);
        if (!chosen)
            fail(kDeclined);
        command = buildCDDBReadEntryString(211, QStringLiteral("Stupid bogus data\n%1\n.").arg(*chosen));
        break;
    }
    case 202:
        fail(kNotFound);
    case 403:
        fail(kCorrupt);
    case 409:
        fail(kNoHandshake);
    case 0:
        fail(kUnexplained);
    default:
        fail(QStringLiteral("freedb: The server answered the query with code %1, which I don't know.  "
                            "Aborting Connection")
                 .arg(queryCode));
    }

    socket->writeString(command);
    const QString entry = reader.readReply();
    switch (CDDBReply::replyCode(entry)) {
    case 401:
        fail(QStringLiteral("freedb: The CD should be in the database, but apparently isn't.   "
                            "(freedb: entry not found.)"));
    case 402:
        fail(kAlreadyShookHands);
    case 403:
        fail(kCorrupt);
    case 409:
        fail(kNoHandshake);
    case 0:
        fail(kUnexplained);
    default:
        break;
    }
    // Any other reply without data lines (500, 501, 502 ...) carries no entry: that is no album.
    if (!CDDBReply::hasDataLines(CDDBReply::replyCode(entry)))
        fail(
            QStringLiteral("freedb: The server sent no database entry for this CD: %1").arg(entry.trimmed()));
    m_albumInfo = parseAlbumInfo(entry);

    // The album is found; a server that has already gone away does not make this a failure.
    try {
        socket->writeString(QStringLiteral("quit\n"));
    } catch (const VeskException&) {
    }
}
