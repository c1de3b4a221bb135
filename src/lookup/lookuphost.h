#pragma once

#include <QString>
#include <QStringList>

// What the disc lookup asks of the rip session that started it.
class LookupHost {
public:
    virtual ~LookupHost() = default;
    // The source folder's full path.
    virtual QString getChosenCDName() const = 0;
    virtual void runAlertWithTitle(const QString& title, const QString& text) = 0;
    // The chosen row among the match lines, or -1 when the user declined them all.
    virtual int displayMultipleAlbumMatches(const QStringList& matchLines) = 0;
};
