#pragma once

#include "disc/disctoc.h"

#include <QString>
#include <QStringList>
#include <optional>

struct LookupFailure;

// What the disc lookup asks of the rip session that started it.
class LookupHost {
public:
    virtual ~LookupHost() = default;
    // The source folder's full path.
    virtual QString getChosenCDName() const = 0;
    virtual void runAlertWithTitle(const QString& title, const QString& text) = 0;
    // A lookup failed in a way the user is to be told of (a disc the source does not know, a
    // declined choice and a stopped lookup are only logged). By default an alert with the
    // failure's title and text.
    virtual void lookupFailed(const LookupFailure& failure);
    // A lookup is asking a source now: "Asking the CDDB server gnudb.gnudb.org…", for a status
    // line. By default nothing.
    virtual void lookupProgress(const QString& line) { Q_UNUSED(line); }
    // The rows of a match chooser, one for each match, as people read them ("Artist – Title
    // (1999, rock)"). The chosen row, or -1 when the user declined them all.
    virtual int displayMultipleAlbumMatches(const QStringList& matchLines) = 0;
    // The source folder's table of contents, or nothing when no source gives one. It may read a
    // drive or every track's header, so lookups ask for it on their worker; by default it is
    // read anew on each call.
    virtual std::optional<DiscTOC> discTOC();
};
