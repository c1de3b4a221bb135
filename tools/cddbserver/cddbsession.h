#pragma once

#include "cddbdatabase.h"

#include <QByteArray>
#include <QString>

// One connection's conversation in the CDDB protocol as freedb's server speaks it on port 8880:
// the handshake, protocol levels 1 to 6, queries, reads, the category list, disc ids and quit.
// Takes command lines and gives back the reply bytes, CR LF line ends included.
class CddbSession {
public:
    struct Reply {
        QByteArray bytes;
        bool close = false; // the server ends the connection after this reply
    };

    // highestLevel: the highest protocol level the server speaks (6 for freedb's own, 5 for the
    // many that stopped there).
    CddbSession(const CddbDatabase& database, QString serverName, int bannerCode = 201, int highestLevel = 6);

    QByteArray banner() const;
    // One command line without its line end.
    Reply handle(const QString& line);
    int protocolLevel() const { return m_level; }

private:
    Reply query(const QStringList& words) const;
    Reply read(const QStringList& words);
    Reply discid(const QStringList& words) const;
    // Text for the wire: UTF-8 from level 6 on, ISO 8859-1 below.
    QByteArray encode(const QString& text) const;
    QByteArray entryLines(const QString& entry) const;

    const CddbDatabase& m_database;
    QString m_serverName;
    int m_bannerCode;
    int m_highestLevel;
    int m_level = 1;
    bool m_shookHands = false;
    QString m_lastRead;
};
