#include "musicbrainzserver.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QUrlQuery>

namespace {
const QByteArray kNotFoundBody =
    "{\"error\":\"Not Found\",\"help\":\"For usage, please see: https://musicbrainz.org/development/mmd\"}";
const QByteArray kBusyBody =
    "{\"error\":\"Your requests are exceeding the allowable rate limit.\",\"help\":\"For usage, please see: "
    "https://musicbrainz.org/development/mmd\"}";

QByteArray httpResponse(int status, const QByteArray& body)
{
    return LoopbackHttpServer::response(status, body, "application/json; charset=utf-8");
}

QByteArray errorBody(const char* text)
{
    return QByteArray("{\"error\":\"") + text + "\"}";
}
} // namespace

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
    m_started = QDateTime::currentMSecsSinceEpoch();
    return m_server.listen(address, port);
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
