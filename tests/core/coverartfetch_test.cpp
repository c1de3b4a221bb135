// The front cover from the Cover Art Archive, against two stand-in web servers on loopback: the
// archive, which sends the request on, and the host that keeps the images.
#include "lookup/coverart/coverartfetch.h"
#include "staticwebserver.h"
#include "support/testenvironment.h"

#include <QTcpServer>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace {
const QString kRelease = QStringLiteral("8c0e5a52-0000-4000-8000-000000000010");
const QString kFrontPath = QStringLiteral("/release/8c0e5a52-0000-4000-8000-000000000010/front-500");

class CoverArtFetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeTestFile(m_images.filePath(QStringLiteral("images/x.jpg")), m_jpeg));
        ASSERT_TRUE(m_archive.listen()) << m_archive.errorString().toStdString();
        ASSERT_TRUE(m_imageHost.listen()) << m_imageHost.errorString().toStdString();
        m_fetch.emplace(m_archive.rootUrl() + u'/');
    }
    CoverArtFetch::FrontCover fetch() { return m_fetch->fetchFront(kRelease); }

    const QByteArray m_jpeg = readTestFile(QStringLiteral(VESK_TEST_DATA_DIR "/coverart/front.jpg"));
    QTemporaryDir m_empty;
    QTemporaryDir m_images;
    StaticWebServer m_archive{m_empty.path()};
    StaticWebServer m_imageHost{m_images.path()};
    std::optional<CoverArtFetch> m_fetch;
};
} // namespace

// The archive sends the request on to another host, which has the image.
TEST_F(CoverArtFetchTest, TheFrontCoverComesFromTheHostTheArchiveSendsTheRequestTo)
{
    ASSERT_EQ(CoverArtFetch::imageType(m_jpeg), u"image/jpeg"_qs);
    for (const int status : {307, 302}) {
        SCOPED_TRACE(status);
        m_archive.addRedirect(kFrontPath, m_imageHost.rootUrl() + u"/images/x.jpg"_qs, status);
        const CoverArtFetch::FrontCover cover = fetch();
        EXPECT_TRUE(cover.found()) << cover.problem.toStdString();
        EXPECT_EQ(cover.image, m_jpeg);
        EXPECT_EQ(cover.mimeType, u"image/jpeg"_qs);
        EXPECT_TRUE(cover.problem.isEmpty());
    }
    ASSERT_EQ(m_archive.requests().size(), 2);
    EXPECT_EQ(m_archive.requests()[0].target, kFrontPath.toUtf8());
    EXPECT_EQ(m_imageHost.requests().size(), 2);

    // The bytes say what the image is, not the server.
    const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    m_archive.queueAnswer(200, png, "application/octet-stream");
    const CoverArtFetch::FrontCover cover = fetch();
    EXPECT_EQ(cover.image, png);
    EXPECT_EQ(cover.mimeType, u"image/png"_qs);
}

TEST_F(CoverArtFetchTest, WithoutAnImageTheProblemIsSaidInWords)
{
    QTcpServer silent; // takes connections and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* problem;
    } cases[] = {
        {"no cover (404)", [] {}, "no front cover"},
        {"busy", [this] { m_archive.queueAnswer(503, "<html>Slow down</html>"); },
         "the Cover Art Archive answered HTTP 503"},
        {"a web page called an image",
         [this] { m_archive.queueAnswer(200, "<html><body>Maintenance</body></html>", "image/jpeg"); },
         "the reply is not a JPEG or PNG image"},
        {"empty", [this] { m_archive.queueAnswer(200, {}, "image/jpeg"); },
         "the reply is not a JPEG or PNG image"},
        {"11 MB",
         [this] {
             m_archive.queueAnswer(200, "\xFF\xD8\xFF" + QByteArray(11 * 1024 * 1024, 'x'), "image/jpeg");
         },
         "the image is larger than 10 MB"},
        {"a redirect loop", [this] { m_archive.addRedirect(kFrontPath, m_archive.rootUrl() + kFrontPath); },
         "the Cover Art Archive sent more than 5 redirects"},
        {"nobody listening", [this] { m_fetch.emplace(u"http://127.0.0.1:1"_qs); },
         "the Cover Art Archive cannot be reached"},
        {"no answer in time",
         [&] {
             m_fetch.emplace(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
             m_fetch->setTimeout(300);
         },
         "the Cover Art Archive did not answer within 0.3 seconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        const CoverArtFetch::FrontCover cover = fetch();
        EXPECT_FALSE(cover.found());
        EXPECT_TRUE(cover.image.isEmpty() && cover.mimeType.isEmpty());
        EXPECT_TRUE(cover.problem.startsWith(QLatin1String(c.problem))) << cover.problem.toStdString();
    }
    // The loop was left after the allowed redirects. (Qt now and then sends a request once more
    // when the stand-in has closed the connection it meant to reuse.)
    const qsizetype loop = m_archive.requests().size() - 5;
    EXPECT_GE(loop, CoverArtFetch::maxRedirects + 1);
    EXPECT_LE(loop, 2 * (CoverArtFetch::maxRedirects + 1));

    // What is not a release id is not asked for.
    const qsizetype asked = m_archive.requests().size();
    m_fetch.emplace(m_archive.rootUrl());
    for (const QString& id : {QString(), u"../../etc"_qs, kRelease + u"/../x"_qs})
        EXPECT_FALSE(m_fetch->fetchFront(id).problem.isEmpty());
    EXPECT_EQ(m_archive.requests().size(), asked);
}

// A cancel from another thread ends the wait at once, and no later fetch starts.
TEST_F(CoverArtFetchTest, ACancelEndsTheWaitAndTheFetchesAfterIt)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    m_fetch.emplace(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_fetch->cancel();
    });
    EXPECT_EQ(fetch().problem, u"the cover fetch was stopped"_qs);
    canceller.join();
    EXPECT_EQ(fetch().problem, u"the cover fetch was stopped"_qs);
}
