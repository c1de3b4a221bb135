#pragma once

#include "common/veskexception.h"
#include "lookup/lookupfailure.h"

#include <QString>

// The words of a CDDB conversation's failures, shared by its transports: each helper ends the
// conversation by raising a LookupError. The server's own status line, when a reply brought the
// failure, follows our words, so that the user learns what the server wants (a real e-mail
// address, a later try, ...).
class CDDBFailure {
public:
    using Kind = VeskException::Kind;
    CDDBFailure() = delete;

    static const QString tryLater;
    static const QString checkServer;
    static const QString checkNetwork;
    static const QString alreadyGreeted;

    [[noreturn]] static void fail(Kind kind, const QString& what, const QString& advice = {},
                                  const QString& reply = {});
    // A reply without a code: whatever answers there speaks no CDDB.
    [[noreturn]] static void failUnexplained(const QString& reply);
    // The server would not take Vesk's greeting; email is the address the user gave, if any.
    [[noreturn]] static void failGreeting(const QString& reply, const QString& email);
    // Whether a reply to a command says the greeting that came with it was refused: 431, or a 500
    // that speaks of the greeting or the address in it (what the public server sends).
    static bool refusesGreeting(qint32 code, const QString& reply);

    // Why a connection to host on port could not be made, from the socket's failure: the name,
    // a refusal, the time.
    static LookupFailure unreachable(const VeskException& failure, const QString& host, quint16 port);
    // The same for a failure the system reported by number (errno).
    static QString unreachableWhat(int systemError, const QString& host, quint16 port, const QString& reason);
};
