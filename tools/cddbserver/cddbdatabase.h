#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A freedb-style tree of CDDB entries, root/category/discid, one file per disc as the database
// publishes them (LF line ends, UTF-8 or ISO 8859-1). Read afresh on every request so that
// tests can add entries while a server runs.
class CddbDatabase {
public:
    struct Match {
        QString category;
        QString discid;
        QString title;
    };

    explicit CddbDatabase(QString root);

    // The database's own categories first, in the order the reference server lists them, then
    // any further folder of the tree.
    QStringList categories() const;
    bool isCategory(const QString& name) const;
    // Entries filed under discid or naming it on their DISCID line, by category.
    QList<Match> exactMatches(const QString& discid) const;
    // Entries with as many tracks whose offsets and length lie close to the given ones.
    QList<Match> inexactMatches(const QList<qint64>& offsets, qint64 seconds) const;
    // The entry's text; absent when the category holds no such disc.
    std::optional<QString> entry(const QString& category, const QString& discid) const;

    // freedb's disc id of track offsets (frames) and a disc length (seconds).
    static quint32 discId(const QList<qint64>& offsets, qint64 seconds);
    // Text of an entry file: UTF-8 when it is valid UTF-8, ISO 8859-1 otherwise.
    static QString decode(const QByteArray& bytes);
    // The value of a keyword, continuation lines joined; null when it does not occur.
    static QString value(const QString& entry, const QString& keyword);

private:
    QString fileOf(const QString& category, const QString& discid) const;

    QString m_root;
};
