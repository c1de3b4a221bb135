#include "disc/tocfilecopy.h"

#include "disc/discerror.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <optional>

namespace {
constexpr qint64 audioSectorBytes = 2352;

struct Token {
    QByteArray text;
    bool quoted = false;
};

// One line's words, strings (escapes kept) and braces, up to a "//" comment.
QList<Token> tokens(const QByteArray& line)
{
    QList<Token> result;
    const qsizetype n = line.size();
    qsizetype i = 0;
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (i < n) {
        const char c = line[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == '/' && i + 1 < n && line[i + 1] == '/') {
            break;
        } else if (c == '{' || c == '}') {
            result.append({QByteArray(1, c)});
            ++i;
        } else if (c == '"') {
            Token token{QByteArray(), true};
            for (++i; i < n && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < n)
                    token.text += line[i++];
                token.text += line[i];
            }
            ++i;
            result.append(token);
        } else {
            Token token;
            while (i < n && !isSpace(line[i]) && line[i] != '{' && line[i] != '}' && line[i] != '"' &&
                   !(line[i] == '/' && i + 1 < n && line[i + 1] == '/'))
                token.text += line[i++];
            result.append(token);
        }
    }
    return result;
}

int braceBalance(const QList<Token>& line)
{
    int balance = 0;
    for (const Token& token : line) {
        if (!token.quoted && token.text == "{")
            ++balance;
        else if (!token.quoted && token.text == "}")
            --balance;
    }
    return balance;
}

// A CD-Text string as libcdio can take it: cdrdao's escapes ("\351", "\\") become the bytes they
// stand for. libcdio ends a string at any quote and cuts a line at "//", so those are softened.
QByteArray plainText(const QByteArray& escaped)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 == escaped.size()) {
            bytes += escaped[i];
            continue;
        }
        int digits = 0, value = 0;
        while (digits < 3 && i + 1 + digits < escaped.size() && escaped[i + 1 + digits] >= '0' &&
               escaped[i + 1 + digits] <= '7')
            value = value * 8 + (escaped[i + 1 + digits++] - '0');
        if (digits > 0) {
            bytes += static_cast<char>(value);
            i += digits;
        } else {
            bytes += escaped[++i];
        }
    }
    bytes.replace('"', '\'');
    bytes.replace('\t', ' ');
    bytes.replace('\n', ' ');
    bytes.replace('\r', ' ');
    while (bytes.contains("//"))
        bytes.replace("//", "/ /");
    return bytes;
}

bool isTextField(const QByteArray& keyword)
{
    static const QList<QByteArray> fields{"TITLE",   "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER",
                                          "MESSAGE", "ISRC",      "UPC_EAN",    "DISC_ID",  "GENRE"};
    return fields.contains(keyword);
}

// The bytes per sector in a data track's file, by the track's mode.
std::optional<qint64> dataSectorBytes(const QByteArray& mode)
{
    static const QHash<QByteArray, qint64> sizes{
        {"MODE0", 2336},       {"MODE1", 2048},       {"MODE1_RAW", 2352},      {"MODE2", 2336},
        {"MODE2_FORM1", 2048}, {"MODE2_FORM2", 2324}, {"MODE2_FORM_MIX", 2336}, {"MODE2_RAW", 2352}};
    const auto it = sizes.find(mode);
    return it == sizes.end() ? std::nullopt : std::optional<qint64>(*it);
}

QByteArray msf(qint64 sectors)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sectors / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

struct FileRef {
    QByteArray keyword;
    QString name;
    qint64 byteOffset = 0;
    QList<QByteArray> times;
    int outputIndex = -1;
    int line = 0;
};

struct TocTrack {
    QByteArray mode;
    QList<FileRef> files;
    std::optional<QByteArray> start;
    qint64 silence = 0;
    QByteArray silenceKeyword;
};

class Rewriter {
public:
    Rewriter(const QString& tocPath, const QString& privateFolder)
        : m_tocPath(tocPath), m_privateFolder(privateFolder)
    {
    }

    ImageSheet run(const QByteArray& text);

private:
    [[noreturn]] void refuse(const QString& why) const
    {
        throw DiscError(DiscError::Reason::BadImage,
                        QStringLiteral("The .toc file %1 %2").arg(QFileInfo(m_tocPath).fileName(), why));
    }
    qint64 sectors(const QByteArray& time, int line) const;
    void readLine(const QByteArray& line, int number);
    void readTrackLine(const QList<Token>& words, const QByteArray& line, int number);
    void place();
    QString link(const QString& target);

    QString m_tocPath;
    QString m_privateFolder;
    QList<std::pair<QByteArray, int>> m_out;
    QList<TocTrack> m_tracks;
    QList<QByteArray> m_contexts; // open CD_TEXT and LANGUAGE blocks
    int m_skipDepth = 0;          // inside a block the copy leaves out
    bool m_skipAwaitsBrace = false;
    QByteArray m_cdText; // every CD-Text byte, for telling the encoding
    QHash<QString, QString> m_links;
    ImageSheet m_sheet;
};

qint64 Rewriter::sectors(const QByteArray& time, int line) const
{
    bool ok = false;
    const QList<QByteArray> parts = time.split(':');
    if (parts.size() == 3) {
        const qint64 m = parts[0].toLongLong(&ok);
        bool okS = false, okF = false;
        const qint64 s = parts[1].toLongLong(&okS), f = parts[2].toLongLong(&okF);
        if (ok && okS && okF && m >= 0 && s >= 0 && s < 60 && f >= 0 && f < 75)
            return (m * 60 + s) * 75 + f;
    } else if (parts.size() == 1) {
        // A plain number counts samples.
        const qint64 samples = time.toLongLong(&ok);
        if (ok && samples >= 0 && samples % 588 == 0)
            return samples / 588;
        if (ok && samples >= 0)
            refuse(QStringLiteral("has a time of %1 samples (line %2) that is no whole number of CD sectors.")
                       .arg(samples)
                       .arg(line));
    }
    refuse(QStringLiteral("has a time %1 on line %2 that is not mm:ss:ff.")
               .arg(QString::fromLatin1(time))
               .arg(line));
}

void Rewriter::readLine(const QByteArray& line, int number)
{
    const QList<Token> words = tokens(line);
    if (m_skipAwaitsBrace && !words.isEmpty()) {
        m_skipAwaitsBrace = false;
        if (words.first().text == "{" && !words.first().quoted) {
            m_skipDepth = braceBalance(words);
            m_out.append({QByteArray(), number});
            return;
        }
    }
    if (m_skipDepth > 0) {
        m_skipDepth = std::max(0, m_skipDepth + braceBalance(words));
        m_out.append({QByteArray(), number});
        return;
    }
    if (words.isEmpty()) {
        m_out.append({QByteArray(), number});
        return;
    }
    const QByteArray keyword = words.first().quoted ? QByteArray() : words.first().text;
    if (!m_contexts.isEmpty()) {
        if (keyword == "}") {
            m_contexts.removeLast();
            m_out.append({"}", number});
        } else if (keyword == "LANGUAGE_MAP") {
            // libcdio reads the keyword and skips the rest of its line, but not the lines after.
            m_out.append({"LANGUAGE_MAP", number});
            m_skipDepth = std::max(0, braceBalance(words));
            m_skipAwaitsBrace = std::none_of(words.begin(), words.end(), [](const Token& token) {
                return !token.quoted && token.text == "{";
            });
        } else if (keyword == "LANGUAGE" && words.size() >= 3 && words[2].text == "{") {
            // libcdio has no languages: every block would overwrite the first one's strings.
            if (words[1].text == "0" && m_contexts.last() != "LANGUAGE") {
                m_contexts.append("LANGUAGE");
                m_out.append({"LANGUAGE 0 {", number});
            } else {
                m_skipDepth = braceBalance(words);
                m_out.append({QByteArray(), number});
            }
        } else if (isTextField(keyword) && words.size() >= 2 && words[1].quoted) {
            const QByteArray value = plainText(words[1].text);
            m_cdText += value;
            m_out.append({keyword + " \"" + value + '"', number});
        } else {
            // Byte lists (SIZE_INFO, TOC_INFO1, ...) and items libcdio does not know.
            m_skipDepth = std::max(0, braceBalance(words));
            m_out.append({QByteArray(), number});
        }
        return;
    }
    if (keyword == "CD_TEXT") {
        if (words.size() < 2 || words[1].text != "{")
            refuse(QStringLiteral("opens a CD_TEXT block without \u201c{\u201d on line %1.").arg(number));
        m_contexts.append("CD_TEXT");
        m_out.append({"CD_TEXT {", number});
        return;
    }
    readTrackLine(words, line, number);
}

void Rewriter::readTrackLine(const QList<Token>& words, const QByteArray& line, int number)
{
    const QByteArray keyword = words.first().text;
    if (keyword == "TRACK") {
        m_tracks.append(TocTrack{words.size() > 1 ? words[1].text : QByteArray(), {}, {}, 0, {}});
        m_out.append({line, number});
        return;
    }
    if (m_tracks.isEmpty() ||
        (keyword != "FILE" && keyword != "AUDIOFILE" && keyword != "DATAFILE" && keyword != "START" &&
         keyword != "PREGAP" && keyword != "SILENCE" && keyword != "ZERO" && keyword != "FIFO")) {
        m_out.append({line, number});
        return;
    }
    TocTrack& track = m_tracks.last();
    if (keyword == "FIFO")
        refuse(QStringLiteral("reads track %1 from a FIFO (line %2).").arg(m_tracks.size()).arg(number));
    if (keyword == "START") {
        track.start = words.size() > 1 ? words[1].text : QByteArray();
    } else if (keyword == "PREGAP" || keyword == "SILENCE" || keyword == "ZERO") {
        if (words.size() < 2)
            refuse(QStringLiteral("has %1 without a length on line %2.")
                       .arg(QString::fromLatin1(keyword))
                       .arg(number));
        track.silence += sectors(words.last().text, number);
        track.silenceKeyword = keyword;
    } else {
        if (words.size() < 2 || !words[1].quoted)
            refuse(QStringLiteral("has %1 without a file name on line %2.")
                       .arg(QString::fromLatin1(keyword))
                       .arg(number));
        FileRef file{keyword, QString::fromUtf8(words[1].text), 0, {}, int(m_out.size()), number};
        for (qsizetype i = 2; i < words.size(); ++i) {
            if (words[i].text.startsWith('#') && file.times.isEmpty())
                file.byteOffset = words[i].text.mid(1).toLongLong();
            else
                file.times.append(words[i].text);
        }
        track.files.append(file);
    }
    m_out.append({QByteArray(), number});
}

QString Rewriter::link(const QString& target)
{
    if (const auto it = m_links.find(target); it != m_links.end())
        return *it;
    const QString name = QStringLiteral("file%1.bin").arg(m_links.size() + 1);
    m_sheet.links.append({name, target});
    const QString path = m_privateFolder + QLatin1Char('/') + name;
    m_links.insert(target, path);
    return path;
}

void Rewriter::place()
{
    qint64 position = 0; // where the next track starts on the disc, in sectors
    QString audioFile;
    bool dataSeen = false;
    const QDir folder = QFileInfo(m_tocPath).absoluteDir();
    for (qsizetype i = 0; i < m_tracks.size(); ++i) {
        const TocTrack& track = m_tracks[i];
        const int number = int(i) + 1;
        const bool audio = track.mode == "AUDIO";
        if (track.files.size() != 1)
            refuse(QStringLiteral("gives track %1 %2 files; Vesk reads tracks that come from one file each.")
                       .arg(number)
                       .arg(track.files.size()));
        const FileRef& file = track.files.first();
        if (file.name == QLatin1String("-"))
            refuse(QStringLiteral("reads track %1 from standard input.").arg(number));
        if (audio && file.name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive))
            refuse(
                QStringLiteral("keeps track %1 in a WAVE file (%2): only raw CD sound can be read as a disc "
                               "image.")
                    .arg(number)
                    .arg(file.name));
        const QFileInfo info(folder.absoluteFilePath(file.name));
        if (!info.isFile())
            refuse(QStringLiteral("names the file \u201c%1\u201d (line %2), which is not in %3.")
                       .arg(file.name)
                       .arg(file.line)
                       .arg(QDir::toNativeSeparators(folder.absolutePath())));
        const std::optional<qint64> sectorBytes = audio ? audioSectorBytes : dataSectorBytes(track.mode);
        if (!sectorBytes)
            refuse(QStringLiteral("gives track %1 the mode %2, which Vesk does not know.")
                       .arg(number)
                       .arg(QString::fromLatin1(track.mode)));
        // FILE "name" [#offset] start [length]; DATAFILE "name" [#offset] [length].
        const bool hasStart = file.keyword != "DATAFILE";
        if (file.times.size() > (hasStart ? 2 : 1) || (hasStart && file.times.isEmpty()))
            refuse(QStringLiteral("has a %1 line it cannot be read from (line %2).")
                       .arg(QString::fromLatin1(file.keyword))
                       .arg(file.line));
        qint64 byteStart = file.byteOffset;
        if (hasStart)
            byteStart += sectors(file.times.first(), file.line) * *sectorBytes;
        const qsizetype lengthIndex = hasStart ? 1 : 0;
        const qint64 length = lengthIndex < file.times.size() ? sectors(file.times[lengthIndex], file.line)
                                                              : (info.size() - byteStart) / *sectorBytes;
        if (length <= 0 || byteStart < 0 || byteStart + length * *sectorBytes > info.size())
            refuse(QStringLiteral("asks for more of \u201c%1\u201d than it holds (line %2).")
                       .arg(file.name)
                       .arg(file.line));
        const qint64 start =
            track.start ? (track.start->isEmpty() ? 0 : sectors(*track.start, file.line)) : 0;
        QByteArray placed;
        if (audio) {
            if (dataSeen)
                refuse(QStringLiteral("has audio track %1 after a data track; Vesk reads .toc files whose "
                                      "data tracks come last.")
                           .arg(number));
            if (track.silence > 0)
                refuse(QStringLiteral("gives track %1 silence that is not in its file (%2), which libcdio "
                                      "cannot read.")
                           .arg(number)
                           .arg(QString::fromLatin1(track.silenceKeyword)));
            // libcdio reads every audio sector from the first track's file, at the sector's place
            // on the disc: the audio must lie in that file as on the disc.
            if (audioFile.isEmpty())
                audioFile = info.absoluteFilePath();
            if (info.absoluteFilePath() != audioFile || byteStart != position * audioSectorBytes)
                refuse(QStringLiteral("does not keep its audio tracks one after the other in one file (track "
                                      "%1, line %2).")
                           .arg(number)
                           .arg(file.line));
            if (start >= length)
                refuse(QStringLiteral("starts track %1 after its end.").arg(number));
            // The length after START, so that the last track ends where it should.
            placed = "FILE \"" + QFile::encodeName(link(audioFile)) + "\" " + msf(position) + ' ' +
                     msf(length - start);
            if (start > 0)
                placed += "\nSTART " + msf(start);
            position += length;
        } else {
            dataSeen = true;
            // The data is never read: only where the track lies counts.
            const qint64 pregap = track.silence + start;
            placed = "FILE \"" + QFile::encodeName(link(info.absoluteFilePath())) + "\" " + msf(position) +
                     ' ' + msf(length);
            if (pregap > 0)
                placed += "\nSTART " + msf(pregap);
            position += pregap + length;
        }
        m_out[file.outputIndex].first = placed;
    }
    if (audioFile.isEmpty())
        refuse(QStringLiteral("has no audio track."));
    m_sheet.soundFiles.append(audioFile);
}

ImageSheet Rewriter::run(const QByteArray& text)
{
    if (m_privateFolder.contains(QLatin1Char('"')) || m_privateFolder.contains(QLatin1Char('\t')) ||
        m_privateFolder.contains(QLatin1Char('\n')) || m_privateFolder.contains(QLatin1Char('\r')) ||
        m_privateFolder.contains(QLatin1String("//")))
        refuse(QStringLiteral("cannot be copied into %1, whose name a .toc file cannot hold.")
                   .arg(m_privateFolder));
    int number = 0;
    for (const QByteArray& line : ImageSheet::lines(text))
        readLine(line, ++number);
    place();
    for (const auto& [line, original] : m_out) {
        for (const QByteArray& part : line.split('\n'))
            m_sheet.addLine(part, original);
    }
    m_sheet.bigEndian = true;
    m_sheet.utf8Text = ImageSheet::looksLikeUtf8(m_cdText);
    return m_sheet;
}
} // namespace

ImageSheet TocFileCopy::make(const QByteArray& text, const QString& tocPath, const QString& privateFolder)
{
    return Rewriter(tocPath, privateFolder).run(text);
}
