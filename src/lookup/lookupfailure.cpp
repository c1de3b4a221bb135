#include "lookup/lookupfailure.h"

#include "common/log.h"
#include "lookup/lookuphost.h"

namespace {
// The source at the start of a sentence.
QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}
} // namespace

QString LookupFailure::title() const
{
    const QString who = capitalized(source);
    switch (kind) {
    case Kind::NotFound:
        return QStringLiteral("%1 does not know this disc").arg(who);
    case Kind::Refused:
        return QStringLiteral("%1 refused the lookup").arg(who);
    case Kind::Network:
        return QStringLiteral("No connection to %1").arg(source);
    case Kind::BadReply:
        return QStringLiteral("The reply from %1 could not be read").arg(source);
    case Kind::Declined:
        return QStringLiteral("No match was chosen");
    case Kind::Cancelled:
        return QStringLiteral("The lookup was stopped");
    case Kind::Other:
        break;
    }
    return QStringLiteral("The lookup at %1 failed").arg(source);
}

QString LookupFailure::text() const
{
    QString text = what;
    if (!advice.isEmpty())
        text += QLatin1Char(' ') + advice;
    if (!serverSaid.isEmpty())
        text += QStringLiteral("\n\nThe server said: ") + serverSaid;
    return text;
}

QString LookupFailure::logLine() const
{
    QString line = QStringLiteral("Lookup at %1: %2").arg(source, what);
    if (!serverSaid.isEmpty())
        line += QStringLiteral(" The server said: ") + serverSaid;
    if (!detail.isEmpty() && detail != what)
        line += QStringLiteral(" (%1)").arg(detail);
    return line;
}

bool LookupFailure::deservesAlert() const
{
    return kind != Kind::NotFound && kind != Kind::Declined && kind != Kind::Cancelled;
}

void LookupFailure::report(LookupHost& host) const
{
    veskLog(logLine());
    if (deservesAlert())
        host.lookupFailed(*this);
}
