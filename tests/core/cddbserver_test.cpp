// Our test server's "discid" answers against the reference server's for the same offsets: the
// shared entries, discs with a data track and a table given without the 150-block lead-in.
#include "cddbserver.h"
#include "net/socket.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {
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
} // namespace

TEST(CddbServer, DiscIdAnswersMatchTheReferenceServer)
{
    QTemporaryDir tree;
    CddbServer server(tree.path());
    server.setServerName(u"cddbtest.local"_qs);
    ASSERT_TRUE(server.listen(u"127.0.8.1"_qs, 0)) << server.errorString().toStdString();
    auto client = Socket::socket();
    client->setTimeout(30000); // long enough for a server thread stalled under the sanitizers
    client->connectToHostName(server.address(), server.port());
    QByteArray received;
    const auto readLine = [&] {
        while (!received.contains("\r\n") && client->readData(&received) > 0) {
        }
        const QByteArray line = received.left(received.indexOf("\r\n") + 2);
        received.remove(0, line.size());
        return line;
    };
    EXPECT_TRUE(readLine().startsWith("20"));

    QFile file(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/cddb-server-transcripts/discids.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int compared = 0;
    QByteArray command;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("C: ")) {
            client->writeData(command = bytesLiteral(line));
        } else if (line.startsWith("S: ")) {
            EXPECT_EQ(readLine(), bytesLiteral(line)) << command.toStdString();
            ++compared;
        }
    }
    EXPECT_EQ(compared, 21);
}
