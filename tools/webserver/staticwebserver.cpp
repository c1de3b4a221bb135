#include "staticwebserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {
QByteArray contentTypeOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg")
        return "image/jpeg";
    if (suffix == u"png")
        return "image/png";
    if (suffix == u"json")
        return "application/json";
    if (suffix == u"html")
        return "text/html";
    return "application/octet-stream";
}
} // namespace

StaticWebServer::StaticWebServer(QString folder) : m_folder(std::move(folder)) {}

StaticWebServer::~StaticWebServer()
{
    stop();
}

void StaticWebServer::addRedirect(const QString& path, const QString& location, int status)
{
    const std::lock_guard lock(m_mutex);
    m_redirects.insert(path, {location, status});
}

void StaticWebServer::queueAnswer(int status, const QByteArray& body, const QByteArray& contentType)
{
    const std::lock_guard lock(m_mutex);
    m_answers.append({status, body, contentType});
}

QList<StaticWebServer::Request> StaticWebServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

QByteArray StaticWebServer::respond(const QByteArray& head)
{
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    if (words.size() < 3)
        return LoopbackHttpServer::response(400, "Bad request", "text/plain");
    const QByteArray& method = words[0];
    const QByteArray& target = words[1];
    const qsizetype query = target.indexOf('?');
    const QString path = QUrl::fromPercentEncoding(query < 0 ? target : target.left(query));
    {
        const std::lock_guard lock(m_mutex);
        m_requests.append({method, target});
        if (!m_answers.isEmpty()) {
            const Answer answer = m_answers.takeFirst();
            return LoopbackHttpServer::response(answer.status, answer.body, answer.contentType);
        }
        if (const auto redirect = m_redirects.constFind(path); redirect != m_redirects.constEnd())
            return LoopbackHttpServer::response(redirect->second, {}, "text/plain", "Location: " + redirect->first.toUtf8() + "\r\n");
    }
    if (method != "GET")
        return LoopbackHttpServer::response(405, "Method not allowed", "text/plain");
    // Only what lies in the folder is served.
    const QString file = QDir::cleanPath(m_folder + QLatin1Char('/') + path);
    if (path.contains(QStringLiteral("..")) || !file.startsWith(QDir::cleanPath(m_folder) + QLatin1Char('/')))
        return LoopbackHttpServer::response(404, "Not found", "text/plain");
    QFile content(file);
    if (!QFileInfo(file).isFile() || !content.open(QIODevice::ReadOnly))
        return LoopbackHttpServer::response(404, "<html><body>Not found</body></html>", "text/html");
    return LoopbackHttpServer::response(200, content.readAll(), contentTypeOf(file));
}
