#pragma once

#include "disc/accuraterip/accurateripdiscid.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// One request for a disc's dBAR file from the AccurateRip database (or a stand-in at another
// address), on the thread that makes it, without blocking. finished() comes once: with the
// file's bytes, with none when the database does not know the disc (404, an empty file), or
// with a problem in words (no answer, refused, an HTTP error, a reply larger than any dBAR file).
class AccurateRipFetch : public QObject {
    Q_OBJECT
public:
    static constexpr int timeoutMilliseconds = 20000;

    explicit AccurateRipFetch(QObject* parent = nullptr);
    ~AccurateRipFetch() override;

    // baseUrl: "http://www.accuraterip.com"; the file is asked for under its path there.
    void start(const QString& baseUrl, const AccurateRipDiscId& disc);
    // No finished() follows.
    void cancel();
    // The address asked, for the log.
    QString url() const { return m_url; }

    void setTimeout(int milliseconds) { m_timer.setInterval(milliseconds); }

Q_SIGNALS:
    // known: the database sent a file (data); otherwise problem says why there is none, and is
    // empty when the database simply does not know the disc.
    void finished(bool known, const QByteArray& data, const QString& problem);

private:
    void end(bool known, const QByteArray& data, const QString& problem);

    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply = nullptr;
    QTimer m_timer;
    QString m_url;
    QByteArray m_data;
};
