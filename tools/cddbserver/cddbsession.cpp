#include "cddbsession.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace {

QByteArray line(const QByteArray& text)
{
    return text + "\r\n";
}

CddbSession::Reply reply(const QByteArray& text, bool close = false)
{
    return {line(text), close};
}

const CddbSession::Reply syntaxError = reply("500 Command syntax error.");

bool readNumbers(const QStringList& words, qsizetype from, QList<qint64>* numbers)
{
    for (qsizetype i = from; i < words.size(); ++i) {
        bool ok = false;
        const qint64 n = words[i].toLongLong(&ok);
        if (!ok || n < 0)
            return false;
        numbers->append(n);
    }
    return true;
}

bool isDiscId(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{1,8}$"));
    return hex.match(text).hasMatch();
}

QString normalId(const QString& text)
{
    return QStringLiteral("%1").arg(text.toUInt(nullptr, 16), 8, 16, QLatin1Char('0'));
}

} // namespace

CddbSession::CddbSession(const CddbDatabase& database, QString serverName, int bannerCode, int highestLevel)
    : m_database(database), m_serverName(std::move(serverName)), m_bannerCode(bannerCode),
      m_highestLevel(highestLevel)
{
}

QByteArray CddbSession::banner() const
{
    const QString when =
        QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("ddd MMM dd HH:mm:ss yyyy"));
    return line(QByteArray::number(m_bannerCode) + ' ' + m_serverName.toUtf8() +
                " CDDBP server vesk-cddb-server 1.0 ready at " + when.toLatin1());
}

QByteArray CddbSession::encode(const QString& text) const
{
    if (m_level >= 6)
        return text.toUtf8();
    QByteArray bytes = text.toLatin1(); // characters beyond ISO 8859-1 become "?"
    return bytes;
}

CddbSession::Reply CddbSession::handle(const QString& text)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return reply("500 Unrecognized command.");
    const QString command = words[0].toLower();
    const QString sub = words.size() > 1 ? words[1].toLower() : QString();

    if (command == QLatin1String("quit"))
        return reply("230 " + m_serverName.toUtf8() + " Closing connection.  Goodbye.", true);
    if (command == QLatin1String("proto")) {
        if (words.size() == 1)
            return reply("200 CDDB protocol level: current " + QByteArray::number(m_level) + ", supported " +
                         QByteArray::number(m_highestLevel));
        bool ok = false;
        const int level = words[1].toInt(&ok);
        if (words.size() > 2 || !ok || level < 1 || level > m_highestLevel)
            return reply("501 Illegal protocol level.");
        if (level == m_level)
            return reply("502 Protocol level already " + QByteArray::number(level) + ".");
        m_level = level;
        return reply("201 OK, CDDB protocol level now: " + QByteArray::number(level));
    }
    if (command == QLatin1String("discid"))
        return discid(words);
    if (command != QLatin1String("cddb"))
        return reply("500 Unrecognized command.");

    if (sub == QLatin1String("hello")) {
        if (words.size() != 6)
            return syntaxError;
        if (m_shookHands)
            return reply("402 Already shook hands.");
        m_shookHands = true;
        return reply("200 Hello and welcome " + encode(words[2]) + '@' + encode(words[3]) + " running " +
                     encode(words[4]) + ' ' + encode(words[5]) + '.');
    }
    if (sub == QLatin1String("lscat")) {
        QByteArray list = line("210 OK, category list follows (until terminating `.')");
        for (const QString& category : m_database.categories())
            list += line(encode(category));
        return {list + line("."), false};
    }
    if (sub == QLatin1String("query") || sub == QLatin1String("read")) {
        if (!m_shookHands)
            return reply("409 No handshake.");
        return sub == QLatin1String("query") ? query(words) : read(words);
    }
    return reply("500 Unrecognized command.");
}

CddbSession::Reply CddbSession::query(const QStringList& words) const
{
    // cddb query discid ntrks off1 ... offn nsecs
    QList<qint64> numbers;
    if (words.size() < 5 || !isDiscId(words[2]) || !readNumbers(words, 3, &numbers) ||
        numbers[0] != numbers.size() - 2)
        return syntaxError;
    const QString id = normalId(words[2]);
    const QList<qint64> offsets = numbers.mid(1, numbers.size() - 2);
    const qint64 seconds = numbers.last();

    auto matchLine = [this](const CddbDatabase::Match& match) {
        return encode(match.category + QLatin1Char(' ') + match.discid + QLatin1Char(' ') + match.title);
    };
    const QList<CddbDatabase::Match> exact = m_database.exactMatches(id);
    // Below level 3 a client understands one match only.
    if (exact.size() == 1 || (exact.size() > 1 && m_level < 3))
        return reply("200 " + matchLine(exact.first()));
    QList<CddbDatabase::Match> list = exact;
    QByteArray head = "210 Found exact matches, list follows (until terminating `.')";
    if (list.isEmpty()) {
        list = m_database.inexactMatches(offsets, seconds);
        head = "211 Found inexact matches, list follows (until terminating `.')";
    }
    if (list.isEmpty())
        return reply("202 No match for disc ID " + id.toLatin1() + '.');
    QByteArray text = line(head);
    for (const auto& match : list)
        text += line(matchLine(match));
    return {text + line("."), false};
}

CddbSession::Reply CddbSession::read(const QStringList& words)
{
    if (words.size() != 4 || !isDiscId(words[3]))
        return syntaxError;
    const QString category = words[2].toLower();
    if (!m_database.isCategory(category))
        return reply("501 Invalid category: " + encode(words[2]));
    const QString id = normalId(words[3]);
    const QString key = category + QLatin1Char(' ') + id;
    // The reference server takes a repeated read for a runaway client and hangs up.
    if (key == m_lastRead)
        return reply("502 Already read " + encode(key), true);
    const auto entry = m_database.entry(category, id);
    if (!entry)
        return reply("401 " + encode(key) + " No such CD entry in database.");
    m_lastRead = key;
    return {line("210 " + encode(key) + " CD database entry follows (until terminating `.')") +
                entryLines(*entry) + line("."),
            false};
}

QByteArray CddbSession::entryLines(const QString& entry) const
{
    QStringList lines = entry.split(QLatin1Char('\n'));
    for (QString& text : lines) {
        if (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    auto has = [&lines](QLatin1String key) {
        return std::any_of(lines.cbegin(), lines.cend(),
                           [key](const QString& l) { return l.startsWith(key); });
    };
    if (m_level < 5) {
        lines.removeIf([](const QString& l) {
            return l.startsWith(QLatin1String("DYEAR=")) || l.startsWith(QLatin1String("DGENRE="));
        });
    } else {
        // From level 5 on every entry carries the year and genre keywords, empty when unknown.
        qsizetype at = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(QLatin1String("DTITLE=")))
                at = i + 1;
        }
        const bool year = has(QLatin1String("DYEAR=")), genre = has(QLatin1String("DGENRE="));
        if (!genre)
            lines.insert(at, QStringLiteral("DGENRE="));
        if (!year)
            lines.insert(at, QStringLiteral("DYEAR="));
    }
    // Like every freedb server, this one signs the entries it hands out.
    for (QString& text : lines) {
        if (text.startsWith(QLatin1String("# Processed by:")))
            text = QStringLiteral("# Processed by: vesk-cddb-server 1.0");
    }
    QByteArray bytes;
    for (const QString& text : lines)
        bytes += line(encode(text));
    return bytes;
}

CddbSession::Reply CddbSession::discid(const QStringList& words) const
{
    QList<qint64> numbers;
    if (words.size() < 3 || !readNumbers(words, 1, &numbers) || numbers[0] != numbers.size() - 2)
        return syntaxError;
    const quint32 id = CddbDatabase::discId(numbers.mid(1, numbers.size() - 2), numbers.last());
    return reply("200 Disc ID is " + QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toLatin1());
}
