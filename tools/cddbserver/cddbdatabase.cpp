#include "cddbdatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {
// An entry file of the tree, read only when it is an ordinary file: a FIFO or a device placed in a
// test's tree must not hang or fill the server.
std::optional<QByteArray> readEntryFile(const QString& path)
{
    constexpr qint64 maxEntryBytes = 16 * 1024 * 1024;
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || info.size() > maxEntryBytes || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(maxEntryBytes);
}

const QStringList knownCategories = {
    QStringLiteral("folk"), QStringLiteral("blues"),  QStringLiteral("jazz"),   QStringLiteral("classical"),
    QStringLiteral("misc"), QStringLiteral("data"),   QStringLiteral("newage"), QStringLiteral("soundtrack"),
    QStringLiteral("rock"), QStringLiteral("reggae"), QStringLiteral("country")};

// Offsets may differ this much per track, and the length this many seconds, for an inexact match.
constexpr qint64 fuzzyFrames = 150;
constexpr qint64 fuzzySeconds = 2;

struct Layout {
    QList<qint64> offsets;
    qint64 seconds = -1;
};

// The track offsets and disc length that an entry's header comment records.
Layout layoutOf(const QString& entry)
{
    static const QRegularExpression offsetLine(QStringLiteral("^#\\s*(\\d+)\\s*$"));
    static const QRegularExpression lengthLine(QStringLiteral("^#\\s*Disc length:\\s*(\\d+)"));
    Layout layout;
    bool inOffsets = false;
    for (const QString& line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("# Track frame offsets"))) {
            inOffsets = true;
            continue;
        }
        if (inOffsets) {
            const auto match = offsetLine.match(line.trimmed());
            if (match.hasMatch()) {
                layout.offsets.append(match.captured(1).toLongLong());
                continue;
            }
            inOffsets = false;
        }
        const auto length = lengthLine.match(line);
        if (length.hasMatch())
            layout.seconds = length.captured(1).toLongLong();
    }
    return layout;
}

QStringList discIdsOf(const QString& entry)
{
    QStringList ids;
    for (const QString& id : CddbDatabase::value(entry, QStringLiteral("DISCID")).split(QLatin1Char(',')))
        ids.append(id.trimmed().toLower());
    return ids;
}

int digitSum(qint64 n)
{
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += int(n % 10);
    return sum;
}

} // namespace

CddbDatabase::CddbDatabase(QString root) : m_root(std::move(root)) {}

QStringList CddbDatabase::categories() const
{
    QStringList all = knownCategories;
    QStringList extra = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : extra) {
        if (!all.contains(name))
            all.append(name);
    }
    return all;
}

bool CddbDatabase::isCategory(const QString& name) const
{
    return knownCategories.contains(name) ||
           (!name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.')) &&
            QDir(m_root).exists(name));
}

QString CddbDatabase::fileOf(const QString& category, const QString& discid) const
{
    const QDir folder(m_root + QLatin1Char('/') + category);
    if (QFile::exists(folder.filePath(discid)))
        return folder.filePath(discid);
    // A disc known under several ids is filed once and names the others on its DISCID line.
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        const std::optional<QByteArray> bytes = readEntryFile(folder.filePath(name));
        if (bytes && discIdsOf(decode(*bytes)).contains(discid))
            return folder.filePath(name);
    }
    return QString();
}

std::optional<QString> CddbDatabase::entry(const QString& category, const QString& discid) const
{
    if (!isCategory(category))
        return std::nullopt;
    const QString path = fileOf(category, discid.toLower());
    const std::optional<QByteArray> bytes = path.isEmpty() ? std::nullopt : readEntryFile(path);
    if (!bytes)
        return std::nullopt;
    return decode(*bytes);
}

QList<CddbDatabase::Match> CddbDatabase::exactMatches(const QString& discid) const
{
    QList<Match> matches;
    for (const QString& category : categories()) {
        if (const auto text = entry(category, discid))
            matches.append({category, discid.toLower(), value(*text, QStringLiteral("DTITLE"))});
    }
    return matches;
}

QList<CddbDatabase::Match> CddbDatabase::inexactMatches(const QList<qint64>& offsets, qint64 seconds) const
{
    QList<Match> matches;
    for (const QString& category : categories()) {
        const QDir folder(m_root + QLatin1Char('/') + category);
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            const std::optional<QByteArray> bytes = readEntryFile(folder.filePath(name));
            if (!bytes)
                continue;
            const QString text = decode(*bytes);
            const Layout layout = layoutOf(text);
            if (layout.offsets.size() != offsets.size() || std::abs(layout.seconds - seconds) > fuzzySeconds)
                continue;
            bool close = true;
            for (qsizetype i = 0; i < offsets.size() && close; ++i)
                close = std::abs(layout.offsets[i] - offsets[i]) <= fuzzyFrames;
            if (close)
                matches.append({category, name.toLower(), value(text, QStringLiteral("DTITLE"))});
        }
    }
    return matches;
}

quint32 CddbDatabase::discId(const QList<qint64>& offsets, qint64 seconds)
{
    quint32 n = 0;
    for (qint64 offset : offsets)
        n += quint32(digitSum(offset / 75));
    const qint64 first = offsets.isEmpty() ? 0 : offsets.first() / 75;
    return (n % 255) << 24 | quint32(seconds - first) << 8 | quint32(offsets.size());
}

QString CddbDatabase::decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString CddbDatabase::value(const QString& entry, const QString& keyword)
{
    const QString prefix = keyword + QLatin1Char('=');
    QString result;
    for (QString line : entry.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.startsWith(prefix))
            continue;
        if (result.isNull())
            result = QStringLiteral("");
        result += line.mid(prefix.size());
    }
    return result;
}
