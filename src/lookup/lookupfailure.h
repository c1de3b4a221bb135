#pragma once

#include "common/veskexception.h"

#include <QString>

class LookupHost;

// A lookup that ended without an album, in words for people: the source that was asked, what
// happened, what to do about it and the server's own status line. Every source's failures read
// alike because their titles and texts are put together here.
struct LookupFailure {
    using Kind = VeskException::Kind;

    // The source as it stands inside a sentence: "the CDDB server gnudb.gnudb.org", "MusicBrainz".
    QString source;
    Kind kind = Kind::Other;
    // What happened, one sentence.
    QString what;
    // What the user can do about it; may be empty.
    QString advice;
    // The server's own status line, printable; may be empty.
    QString serverSaid;
    // What the lower layers said ("Socket: Connect failed: Connection refused"), for the log
    // only; may be empty.
    QString detail;

    // A heading for a dialog, in sentence case: "The CDDB server gnudb.gnudb.org refused the lookup".
    QString title() const;
    // what and advice, then "The server said: ..." on a paragraph of its own.
    QString text() const;
    // One line for the log: the source, what happened, the server's words and the detail.
    QString logLine() const;
    // Whether the user is told: a disc the source does not know, a choice the user declined and
    // a stopped lookup are only logged.
    bool deservesAlert() const;
    // Logs the failure, and hands it to the host when the user is to be told.
    void report(LookupHost& host) const;
};
