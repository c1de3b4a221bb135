#include "cddbserver.h"
#include "common/veskexception.h"
#include "net/socket.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString transcripts = QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-server-transcripts/");
const QString entries = QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries/");

// One command and its reply; an empty command stands for a new connection and its banner.
struct Exchange {
    QByteArray command;
    QByteArray reply;
    bool closedAfter = false;
};

// The bytes of a Python bytes literal such as b'201 ready\r\n'.
QByteArray bytesLiteral(const QByteArray& text)
{
    const qsizetype open = text.indexOf("b") + 1;
    QByteArray bytes;
    for (qsizetype i = open + 1; i < text.size() && text.at(i) != text.at(open); ++i) {
        char c = text.at(i);
        if (c == '\\') {
            c = text.at(++i);
            if (c == 'x') {
                c = char(text.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else if (const char* escape = std::strchr("r\rn\nt\t", c)) {
                c = escape[1];
            }
        }
        bytes.append(c);
    }
    return bytes;
}

// A transcript: "C:" lines sent, "S:" lines received, "---" between conversations.
QList<Exchange> readTranscript(const QString& fileName)
{
    QFile file(transcripts + fileName);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << fileName.toStdString();
    QList<Exchange> exchanges{{}};
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("---") || line.startsWith("C: "))
            exchanges.append({line.startsWith("C: ") ? bytesLiteral(line) : QByteArray(), {}});
        else if (line.startsWith("S: "))
            exchanges.last().reply += bytesLiteral(line);
        else if (line.startsWith("S(after): "))
            exchanges.last().closedAfter = true;
    }
    return exchanges;
}

// Servers differ in the version they name in the greeting and in the entries they sign, and the
// time differs; match lists may come in any order.
QByteArray normalised(QByteArray reply)
{
    static const QRegularExpression banner(QStringLiteral("CDDBP server .* ready at .*\r\n"));
    static const QRegularExpression signature(QStringLiteral("# Processed by: [^\r]*\r\n"));
    if (reply.startsWith("200 ") || reply.startsWith("201 ") || reply.startsWith("210 ")) {
        QString text = QString::fromLatin1(reply);
        text.replace(banner, QStringLiteral("CDDBP server - ready at -\r\n"));
        text.replace(signature, QStringLiteral("# Processed by: -\r\n"));
        reply = text.toLatin1();
    }
    if (reply.startsWith("210 Found") || reply.startsWith("211 Found")) {
        QList<QByteArray> lines = reply.split('\n');
        std::sort(lines.begin() + 1, lines.end() - 2);
        return lines.join('\n');
    }
    return reply;
}

// One whole reply: a line, or for the 21x codes the lines up to the one holding ".".
QByteArray readReply(Socket& socket)
{
    QByteArray bytes;
    auto complete = [&bytes] {
        const bool list = bytes.startsWith("210 ") || bytes.startsWith("211 ");
        return list ? bytes.endsWith("\r\n.\r\n") : bytes.contains("\r\n");
    };
    try {
        while (!complete() && socket.readData(&bytes) > 0) {
        }
    } catch (const VeskException& e) {
        ADD_FAILURE() << e.what() << " after " << bytes.toStdString();
    }
    return bytes;
}

// The shared entries as a freedb tree, with the discs the reference server held besides them.
std::unique_ptr<QTemporaryDir> referenceTree()
{
    auto tree = std::make_unique<QTemporaryDir>();
    const QDir root(tree->path());
    const auto copy = [&root](const QString& name, const QString& category, const QString& discid) {
        root.mkpath(category);
        QFile::copy(entries + name, root.filePath(category + u'/' + discid));
    };
    for (const QString& name : QDir(entries).entryList({QStringLiteral("*-*")}, QDir::Files))
        copy(name, name.section(u'-', 0, 0), name.section(u'-', 1));
    copy(QStringLiteral("rock-8608460b"), QStringLiteral("misc"), QStringLiteral("8608460b"));
    // The reference also held one disc that is not among the shared entries; its read reply is it.
    for (const Exchange& exchange : readTranscript(QStringLiteral("sessA.txt"))) {
        if (!exchange.command.startsWith("cddb read classical 6f0c6509"))
            continue;
        QByteArray body = exchange.reply.mid(exchange.reply.indexOf('\n') + 1);
        body.chop(3);
        root.mkpath(QStringLiteral("classical"));
        QFile file(root.filePath(QStringLiteral("classical/6f0c6509")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body.replace("\r\n", "\n"));
    }
    return tree;
}

// Long enough for a server thread stalled under the sanitizers.
std::unique_ptr<Socket> connectTo(const CddbServer& server, int timeout = 30000)
{
    auto socket = Socket::socket();
    socket->setTimeout(timeout);
    socket->connectToHostName(server.address(), server.port());
    return socket;
}

} // namespace

TEST(CddbServer, RepliesLikeTheReferenceServerByteForByte)
{
    const auto tree = referenceTree();
    CddbServer server(tree->path());
    server.setServerName(QStringLiteral("cddbtest.local"));
    ASSERT_TRUE(server.listen(QStringLiteral("127.0.8.1"), 0)) << server.errorString().toStdString();

    const QList<Exchange> exchanges = readTranscript(QStringLiteral("sessA.txt")) +
                                      readTranscript(QStringLiteral("sessBCD.txt")) +
                                      readTranscript(QStringLiteral("discids.txt"));
    std::unique_ptr<Socket> client;
    int compared = 0;
    for (const Exchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.command.toStdString());
        if (exchange.command.isEmpty()) {
            client = connectTo(server);
            const QByteArray banner = readReply(*client);
            EXPECT_TRUE(exchange.reply.isEmpty() || normalised(banner) == normalised(exchange.reply))
                << banner.toStdString();
            continue;
        }
        client->writeData(exchange.command);
        EXPECT_EQ(normalised(readReply(*client)), normalised(exchange.reply));
        ++compared;
        if (exchange.closedAfter) {
            QByteArray rest;
            EXPECT_EQ(client->readData(&rest), 0);
        }
    }
    EXPECT_EQ(compared, 56);
}

// The stored text goes out in the level's encoding: UTF-8 at level 6, ISO 8859-1 below with
// "?" for what it cannot hold. The lookup's tests rely on split replies really coming in pieces.
TEST(CddbServer, ConvertsTextToTheLevelAndSplitsReplies)
{
    QTemporaryDir tree;
    QDir(tree.path()).mkpath(QStringLiteral("misc"));
    QFile entry(tree.filePath(QStringLiteral("misc/0a000001")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("DTITLE=\xe6\x9d\xb1 / Caf\xc3\xa9\n");
    entry.close();
    for (const int level : {6, 5}) {
        SCOPED_TRACE(level);
        CddbServer server(tree.path());
        server.setHighestLevel(level);
        server.splitReplies(level == 6 ? 1 : 0, 1);
        ASSERT_TRUE(server.listen(QStringLiteral("127.0.8.3"), 0));
        auto client = connectTo(server);
        QByteArray banner;
        int reads = 0;
        while (!banner.endsWith("\r\n") && client->readData(&banner) > 0)
            ++reads;
        EXPECT_EQ(reads > 1, level == 6);
        client->writeString(QStringLiteral("cddb hello a b c d\n"));
        readReply(*client);
        client->writeString(QStringLiteral("proto 6\n"));
        EXPECT_EQ(readReply(*client), level == 6 ? QByteArray("201 OK, CDDB protocol level now: 6\r\n")
                                                 : QByteArray("501 Illegal protocol level.\r\n"));
        if (level == 5) {
            client->writeString(QStringLiteral("proto 5\n"));
            readReply(*client);
        }
        client->writeString(QStringLiteral("cddb read misc 0a000001\n"));
        EXPECT_TRUE(readReply(*client).contains(level == 6 ? "DTITLE=\xe6\x9d\xb1 / Caf\xc3\xa9\r\n"
                                                           : "DTITLE=? / Caf\xe9\r\n"));
    }
}
