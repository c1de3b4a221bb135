#include "musicbrainzserver.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrlQuery>

namespace {
const QByteArray kNotFoundBody =
    "{\"error\":\"Not Found\",\"help\":\"For usage, please see: https://musicbrainz.org/development/mmd\"}";
const QByteArray kBusyBody =
    "{\"error\":\"Your requests are exceeding the allowable rate limit.\",\"help\":\"For usage, please see: "
    "https://musicbrainz.org/development/mmd\"}";
// A request head longer than this is not a client of ours.
constexpr qsizetype kMaxHead = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray httpResponse(int status, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
           "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray errorBody(const char* text)
{
    return QByteArray("{\"error\":\"") + text + "\"}";
}
} // namespace

class MusicBrainzServer::Listener : public QObject {
public:
    explicit Listener(MusicBrainzServer& owner) : m_owner(owner) {}

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
                socket->write(end < 0 ? httpResponse(400, errorBody("Request too long"))
                                      : m_owner.respond(head->left(end)));
                socket->disconnectFromHost();
                // Whatever else arrives on this connection goes unanswered.
                QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            });
        }
    }

    MusicBrainzServer& m_owner;
    QTcpServer* m_server = nullptr;
};

MusicBrainzServer::MusicBrainzServer(QString folder) : m_folder(std::move(folder)) {}

MusicBrainzServer::~MusicBrainzServer()
{
    stop();
}

void MusicBrainzServer::queueAnswer(int status, const QByteArray& body)
{
    const std::lock_guard lock(m_mutex);
    m_answers.append({status, body.isEmpty() && status == 503 ? kBusyBody : body, false});
}

void MusicBrainzServer::queueBrokenBody()
{
    const std::lock_guard lock(m_mutex);
    m_answers.append({200, {}, true});
}

bool MusicBrainzServer::listen(const QString& address, quint16 port)
{
    stop();
    m_started = QDateTime::currentMSecsSinceEpoch();
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

void MusicBrainzServer::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    m_listener = nullptr;
}

QString MusicBrainzServer::rootUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_address).arg(m_port);
}

QList<MusicBrainzServer::Request> MusicBrainzServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

QByteArray MusicBrainzServer::respond(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> words = lines.first().trimmed().split(' ');
    QByteArray userAgent;
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("user-agent:"))
            userAgent = line.mid(11).trimmed();
    }
    const QByteArray target = words.value(1);
    {
        const std::lock_guard lock(m_mutex);
        m_requests.append({target, userAgent, QDateTime::currentMSecsSinceEpoch() - m_started});
    }
    if (words.size() != 3 || words[0] != "GET")
        return httpResponse(405, errorBody("Only GET is served here"));
    // The service turns away clients that do not say who they are and how to reach their makers.
    static const QRegularExpression agentForm(QStringLiteral("^[^\\s/]+/\\S+ \\( \\S(.*\\S)? \\)$"));
    if (!agentForm.match(QString::fromUtf8(userAgent)).hasMatch())
        return httpResponse(403, errorBody("Give a User-Agent of the form Name/version ( contact )"));
    if (!target.startsWith("/ws/2/discid/"))
        return httpResponse(400, errorBody("Only disc identifiers are served here"));
    std::optional<Answer> answer;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_answers.isEmpty())
            answer = m_answers.takeFirst();
    }
    if (answer && !answer->broken)
        return httpResponse(answer->status, answer->body);
    const QByteArray file = fileFor(target);
    if (file.isNull())
        return httpResponse(404, kNotFoundBody);
    return httpResponse(200, answer ? file.left(file.size() / 2) : file);
}

QByteArray MusicBrainzServer::fileFor(const QByteArray& target) const
{
    const QByteArray path = target.left(target.indexOf('?'));
    const QString id = QString::fromLatin1(path.mid(int(qstrlen("/ws/2/discid/"))));
    const qsizetype question = target.indexOf('?');
    const QString toc = question < 0 ? QString()
                                     : QUrlQuery(QString::fromLatin1(target.mid(question + 1)))
                                           .queryItemValue(QStringLiteral("toc"), QUrl::FullyDecoded);
    // Names that stay inside the folder.
    static const QRegularExpression idForm(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,63}$"));
    static const QRegularExpression tocForm(QStringLiteral("^[0-9][0-9+ ]{0,1200}$"));
    for (const QString& name : {id, QString(toc).replace(QLatin1Char(' '), QLatin1Char('+'))}) {
        const bool safe = idForm.match(name).hasMatch() || tocForm.match(name).hasMatch();
        QFile file(QStringLiteral("%1/%2.json").arg(m_folder, name));
        if (safe && file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return {};
}
