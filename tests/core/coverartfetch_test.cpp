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
const QString kFrontPath = u"/release/"_qs + kRelease + u"/front-500"_qs;

class CoverArtFetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeTestFile(m_images.filePath(QStringLiteral("images/x.jpg")), m_jpeg));
        ASSERT_TRUE(m_archive.listen() && m_imageHost.listen() && m_silent.listen(QHostAddress::LocalHost));
        m_fetch.emplace(m_archive.rootUrl() + u'/');
    }
    QString fetchProblem() { return m_fetch->fetchFront(kRelease).problem; }
    void aimAtSilentServer()
    {
        m_fetch.emplace(QStringLiteral("http://127.0.0.1:%1").arg(m_silent.serverPort()));
    }

    const QByteArray m_jpeg = readTestFile(QStringLiteral(VESK_TEST_DATA_DIR "/coverart/front.jpg"));
    QTemporaryDir m_empty;
    QTemporaryDir m_images;
    StaticWebServer m_archive{m_empty.path()};
    StaticWebServer m_imageHost{m_images.path()};
    QTcpServer m_silent; // takes connections and never answers
    std::optional<CoverArtFetch> m_fetch;
};
} // namespace

TEST_F(CoverArtFetchTest, TheImageComesFromTheHostTheArchiveSendsTheRequestToAndIsKnownByItsBytes)
{
    for (const int status : {307, 302}) {
        m_archive.addRedirect(kFrontPath, m_imageHost.rootUrl() + u"/images/x.jpg"_qs, status);
        const CoverArtFetch::FrontCover cover = m_fetch->fetchFront(kRelease);
        EXPECT_TRUE(cover.found() && cover.problem.isEmpty()) << status << cover.problem.toStdString();
        EXPECT_EQ(cover.image, m_jpeg);
        EXPECT_EQ(cover.mimeType, u"image/jpeg"_qs);
    }
    EXPECT_EQ(m_imageHost.requests().size(), 2);

    const QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    m_archive.queueAnswer(200, png, "application/octet-stream");
    EXPECT_EQ(m_fetch->fetchFront(kRelease).mimeType, u"image/png"_qs);
    m_archive.queueAnswer(200, "<html><body>Maintenance</body></html>", "image/jpeg");
    EXPECT_EQ(fetchProblem(), u"the reply is not a JPEG or PNG image"_qs);
}

TEST_F(CoverArtFetchTest, WithoutAnImageTheProblemIsSaidInWords)
{
    const QByteArray huge = "\xFF\xD8\xFF" + QByteArray(11 * 1024 * 1024, 'x');
    const struct {
        std::function<void()> arrange;
        QString problem;
    } cases[] = {
        {[] {}, u"no front cover"_qs},
        {[this] { m_archive.queueAnswer(503, "<html>Slow down</html>"); },
         u"the Cover Art Archive answered HTTP 503"_qs},
        {[&] { m_archive.queueAnswer(200, huge, "image/jpeg"); }, u"the image is larger than 10 MB"_qs},
        {[this] { m_archive.addRedirect(kFrontPath, m_archive.rootUrl() + kFrontPath); },
         u"the Cover Art Archive sent more than 5 redirects"_qs},
        {[this] { aimAtSilentServer(), m_fetch->setTimeout(300); },
         u"the Cover Art Archive did not answer within 0.3 seconds"_qs},
    };
    for (const auto& c : cases) {
        c.arrange();
        const CoverArtFetch::FrontCover cover = m_fetch->fetchFront(kRelease);
        EXPECT_EQ(cover.problem, c.problem);
        EXPECT_TRUE(cover.image.isEmpty() && cover.mimeType.isEmpty());
    }
    // The loop was left after the redirects allowed. (Qt now and then sends a request once more
    // when the stand-in has closed the connection it meant to reuse.)
    EXPECT_LE(m_archive.requests().size(), 3 + 2 * (CoverArtFetch::maxRedirects + 1));

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
    aimAtSilentServer();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_fetch->cancel();
    });
    EXPECT_EQ(fetchProblem(), u"the cover fetch was stopped"_qs);
    canceller.join();
    EXPECT_EQ(fetchProblem(), u"the cover fetch was stopped"_qs);
}
