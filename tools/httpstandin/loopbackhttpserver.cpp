#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {
// A request head longer than this is not a client of ours.
constexpr qsizetype kMaxHead = 64 * 1024;
} // namespace

class LoopbackHttpServer::Listener : public QObject {
public:
    explicit Listener(const Responder& respond) : m_respond(respond) {}

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
                socket->write(end < 0 ? response(400, "Request too long", "text/plain") : m_respond(head->left(end)));
                socket->disconnectFromHost();
                // Whatever else arrives on this connection goes unanswered.
                QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            });
        }
    }

    const Responder& m_respond;
    QTcpServer* m_server = nullptr;
};

LoopbackHttpServer::LoopbackHttpServer(Responder respond) : m_respond(std::move(respond)) {}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stop();
}

bool LoopbackHttpServer::listen(const QString& address, quint16 port)
{
    stop();
    m_thread = std::make_unique<QThread>();
    m_listener = new Listener(m_respond);
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

void LoopbackHttpServer::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    m_listener = nullptr;
}

QString LoopbackHttpServer::rootUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_address).arg(m_port);
}

QByteArray LoopbackHttpServer::response(int status, const QByteArray& body, const QByteArray& contentType,
                                        const QByteArray& extraHeaders)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\nContent-Type: " +
           contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders +
           "Connection: close\r\n\r\n" + body;
}

QByteArray LoopbackHttpServer::reasonPhrase(int status)
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
    case 403:
        return "Forbidden";
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
