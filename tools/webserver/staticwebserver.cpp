#include "staticwebserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

namespace {
constexpr qsizetype kMaxHead = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray response(int status, const QByteArray& body, const QByteArray& contentType,
                    const QByteArray& extraHeaders = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\nContent-Type: " +
           contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders +
           "Connection: close\r\n\r\n" + body;
}

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

class StaticWebServer::Listener : public QObject {
public:
    explicit Listener(StaticWebServer& owner) : m_owner(owner) {}

    bool listen(const QHostAddress& address, quint16 port, QString* error, quint16* boundPort)
    {
        m_server = new QTcpServer(this);
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        if (!m_server->listen(address, port)) {
            *error = m_server->errorString();
            return false;
        }
        *boundPort = m_server->serverPort();
        return true;
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            auto head = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
                *head += socket->readAll();
                const qsizetype end = head->indexOf("\r\n\r\n");
                if (end < 0 && head->size() <= kMaxHead)
                    return;
                socket->write(end < 0 ? response(400, "Request too long", "text/plain")
                                      : m_owner.respond(head->left(end)));
                socket->disconnectFromHost();
                QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            });
        }
    }

    StaticWebServer& m_owner;
    QTcpServer* m_server = nullptr;
};

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

bool StaticWebServer::listen(const QString& address, quint16 port)
{
    stop();
    m_thread = std::make_unique<QThread>();
    m_listener = new Listener(*this);
    m_listener->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_listener, &QObject::deleteLater);
    m_thread->start();
    bool listening = false;
    QMetaObject::invokeMethod(
        m_listener, [&] { listening = m_listener->listen(QHostAddress(address), port, &m_error, &m_port); },
        Qt::BlockingQueuedConnection);
    m_address = address;
    if (!listening)
        stop();
    return listening;
}

void StaticWebServer::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    m_listener = nullptr;
}

QString StaticWebServer::rootUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_address).arg(m_port);
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
        return response(400, "Bad request", "text/plain");
    const QByteArray& method = words[0];
    const QByteArray& target = words[1];
    const qsizetype query = target.indexOf('?');
    const QString path = QUrl::fromPercentEncoding(query < 0 ? target : target.left(query));
    {
        const std::lock_guard lock(m_mutex);
        m_requests.append({method, target});
        if (!m_answers.isEmpty()) {
            const Answer answer = m_answers.takeFirst();
            return response(answer.status, answer.body, answer.contentType);
        }
        if (const auto redirect = m_redirects.constFind(path); redirect != m_redirects.constEnd())
            return response(redirect->second, {}, "text/plain", "Location: " + redirect->first.toUtf8() + "\r\n");
    }
    if (method != "GET")
        return response(405, "Method not allowed", "text/plain");
    // Only what lies in the folder is served.
    const QString file = QDir::cleanPath(m_folder + QLatin1Char('/') + path);
    if (path.contains(QStringLiteral("..")) || !file.startsWith(QDir::cleanPath(m_folder) + QLatin1Char('/')))
        return response(404, "Not found", "text/plain");
    QFile content(file);
    if (!QFileInfo(file).isFile() || !content.open(QIODevice::ReadOnly))
        return response(404, "<html><body>Not found</body></html>", "text/html");
    return response(200, content.readAll(), contentTypeOf(file));
}
