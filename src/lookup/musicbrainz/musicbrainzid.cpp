#include "lookup/musicbrainz/musicbrainzid.h"

#include <QRegularExpression>

bool MusicBrainzId::isWellFormed(const QString& text)
{
    static const QRegularExpression shape(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"),
        QRegularExpression::CaseInsensitiveOption);
    return shape.match(text).hasMatch();
}

QString MusicBrainzId::normalized(const QString& text)
{
    return isWellFormed(text) ? text.toLower() : QString();
}
