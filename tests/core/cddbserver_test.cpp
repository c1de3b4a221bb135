#include "common/veskexception.h"
#include "net/socket.h"
#include "cddbserver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString transcripts = QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-server-transcripts/");
const QString entries = QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-entries/");

struct Exchange {
    QByteArray command;
    QByteArray reply;
    bool closedAfter = false;
};

struct Conversation {
    QString name;
    QByteArray banner;
    QList<Exchange> exchanges;
};

// The bytes of a Python bytes literal such as b'201 ready\r\n'.
QByteArray bytesLiteral(const QByteArray& text)
{
    const qsizetype open = text.indexOf("b") + 1;
    const char quote = text.at(open);
    QByteArray bytes;
    for (qsizetype i = open + 1; i < text.size() && text.at(i) != quote; ++i) {
        char c = text.at(i);
        if (c == '\\') {
            c = text.at(++i);
            if (c == 'r')
                c = '\r';
            else if (c == 'n')
                c = '\n';
            else if (c == 't')
                c = '\t';
            else if (c == 'x') {
                c = char(text.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            }
        }
        bytes.append(c);
    }
    return bytes;
}

// Conversations of a transcript: "C:" lines sent, "S:" lines received, "---" between conversations.
QList<Conversation> readTranscript(const QString& fileName)
{
    QFile file(transcripts + fileName);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << fileName.toStdString();
    QList<Conversation> conversations{{fileName, {}, {}}};
    for (const QByteArray& line : file.readAll().split('\n')) {
        Conversation& current = conversations.last();
        if (line.startsWith("---")) {
            conversations.append({QString::fromUtf8(line), {}, {}});
        } else if (line.startsWith("C: ")) {
            current.exchanges.append({bytesLiteral(line), {}});
        } else if (line.startsWith("S: ")) {
            (current.exchanges.isEmpty() ? current.banner : current.exchanges.last().reply) +=
                bytesLiteral(line);
        } else if (line.startsWith("S(after): ")) {
            current.exchanges.last().closedAfter = true;
        }
    }
    conversations.removeIf([](const Conversation& c) { return c.exchanges.isEmpty(); });
    return conversations;
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

void copyEntry(const QString& from, const QDir& root, const QString& category, const QString& discid)
{
    root.mkpath(category);
    QFile::copy(from, root.filePath(category + QLatin1Char('/') + discid));
}

// The shared entries as a freedb tree, with the discs the reference server held besides them.
std::unique_ptr<QTemporaryDir> referenceTree()
{
    auto tree = std::make_unique<QTemporaryDir>();
    const QDir root(tree->path());
    for (const QString& name : QDir(entries).entryList({QStringLiteral("*-*")}, QDir::Files)) {
        const QStringList parts = name.split(QLatin1Char('-'));
        copyEntry(entries + name, root, parts[0], parts[1]);
    }
    copyEntry(entries + QStringLiteral("rock-8608460b"), root, QStringLiteral("misc"),
              QStringLiteral("8608460b"));
    // The reference also held one disc that is not among the shared entries; its read reply is it.
    for (const Conversation& conversation : readTranscript(QStringLiteral("sessA.txt"))) {
        for (const Exchange& exchange : conversation.exchanges) {
            if (!exchange.command.startsWith("cddb read classical 6f0c6509"))
                continue;
            QByteArray body = exchange.reply.mid(exchange.reply.indexOf('\n') + 1);
            body.chop(3);
            body.replace("\r\n", "\n");
            root.mkpath(QStringLiteral("classical"));
            QFile file(root.filePath(QStringLiteral("classical/6f0c6509")));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(body);
        }
    }
    return tree;
}

std::unique_ptr<Socket> connectTo(const CddbServer& server, int timeout = 5000)
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

    QList<Conversation> conversations = readTranscript(QStringLiteral("sessA.txt"));
    conversations += readTranscript(QStringLiteral("sessBCD.txt"));
    conversations += readTranscript(QStringLiteral("discids.txt"));
    ASSERT_EQ(conversations.size(), 5);
    int compared = 0;
    for (const Conversation& conversation : conversations) {
        SCOPED_TRACE(conversation.name.toStdString());
        auto client = connectTo(server);
        const QByteArray banner = readReply(*client);
        if (!conversation.banner.isEmpty()) {
            EXPECT_EQ(normalised(banner), normalised(conversation.banner));
        }
        for (const Exchange& exchange : conversation.exchanges) {
            client->writeData(exchange.command);
            const QByteArray reply = readReply(*client);
            EXPECT_EQ(normalised(reply), normalised(exchange.reply)) << exchange.command.toStdString();
            ++compared;
            if (exchange.closedAfter) {
                QByteArray rest;
                EXPECT_EQ(client->readData(&rest), 0);
                EXPECT_FALSE(client->isConnected());
            }
        }
    }
    EXPECT_EQ(compared, 56);
}

TEST(CddbServer, MisbehavesOnRequest)
{
    const auto tree = referenceTree();
    CddbServer server(tree->path());
    server.setBannerCode(200);
    server.answer(QStringLiteral("cddb hello"), "431 Handshake not successful, closing connection.");
    server.closeAt(QStringLiteral("cddb read"), 20);
    server.fallSilentAt(QStringLiteral("cddb query"));
    ASSERT_TRUE(server.listen(QStringLiteral("127.0.8.2"), 8880)) << server.errorString().toStdString();

    CddbServer second(tree->path());
    EXPECT_FALSE(second.listen(QStringLiteral("127.0.8.2"), 8880));
    EXPECT_TRUE(second.errorString().contains(QStringLiteral("Address already in use")));
    EXPECT_TRUE(second.listen(QStringLiteral("127.0.8.4"), 8880)) << second.errorString().toStdString();

    auto client = connectTo(server, 300);
    EXPECT_TRUE(readReply(*client).startsWith("200 localhost CDDBP server "));
    client->writeString(QStringLiteral("cddb hello me here vesk v0.6.7\n"));
    EXPECT_EQ(readReply(*client), QByteArray("431 Handshake not successful, closing connection.\r\n"));
    // The command still counted: the handshake took place.
    client->writeString(QStringLiteral("cddb read rock 8608460b\n"));
    EXPECT_EQ(readReply(*client), QByteArray("210 rock 8608460b CD"));
    EXPECT_FALSE(client->isConnected());

    auto silent = connectTo(server, 300);
    readReply(*silent);
    silent->writeString(QStringLiteral("cddb hello me here vesk v0.6.7\ncddb query 8608460b 1 150 20\n"));
    readReply(*silent);
    QByteArray nothing;
    try {
        silent->readData(&nothing);
        ADD_FAILURE() << "a reply came: " << nothing.toStdString();
    } catch (const VeskException& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("Socket: Recv failed: Connection timed out"));
    }
    EXPECT_TRUE(silent->isConnected());

    const QList<QByteArray> lines = server.receivedLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[3], QByteArray("cddb query 8608460b 1 150 20\n"));
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST(CddbServer, SplitRepliesArriveInPiecesAndHangUpAtOnce)
{
    const auto tree = referenceTree();
    CddbServer server(tree->path());
    server.splitReplies(1, 2);
    ASSERT_TRUE(server.listen(QStringLiteral("127.0.8.3"), 0));
    auto client = connectTo(server);
    QByteArray banner;
    int reads = 0;
    while (!banner.endsWith("\r\n") && client->readData(&banner) > 0)
        ++reads;
    EXPECT_TRUE(banner.startsWith("201 localhost CDDBP server ")) << banner.toStdString();
    EXPECT_GT(reads, 1);

    CddbServer hangUp(tree->path());
    hangUp.closeAt(QStringLiteral("banner"));
    ASSERT_TRUE(hangUp.listen(QStringLiteral("127.0.8.3"), 0));
    auto refused = connectTo(hangUp);
    QByteArray none;
    EXPECT_EQ(refused->readData(&none), 0);
    EXPECT_FALSE(refused->isConnected());
}
