#include "lookup/albumchooser.h"

QString AlbumChooser::matchRow(const QString& artist, const QString& title, const QStringList& details)
{
    QString row = title.isEmpty() ? artist : title;
    if (!artist.isEmpty() && !title.isEmpty())
        row = artist + QStringLiteral(" – ") + title;
    QStringList given = details;
    given.removeAll(QString());
    if (!given.isEmpty())
        row += QStringLiteral(" (%1)").arg(given.join(QStringLiteral(", ")));
    return row;
}
