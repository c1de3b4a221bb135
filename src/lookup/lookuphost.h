#pragma once

#include "disc/disctoc.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the disc lookup asks of the rip session that started it.
class LookupHost {
public:
    virtual ~LookupHost() = default;
    // The source folder's full path.
    virtual QString getChosenCDName() const = 0;
    virtual void runAlertWithTitle(const QString& title, const QString& text) = 0;
    // The chosen row among the match lines, or -1 when the user declined them all.
    virtual int displayMultipleAlbumMatches(const QStringList& matchLines) = 0;
    // The source folder's table of contents, or nothing when no source gives one. It may read a
    // drive or every track's header, so lookups ask for it on their worker; by default it is
    // read anew on each call.
    virtual std::optional<DiscTOC> discTOC();
};
