#pragma once

#include <QStringList>

// Lets the user pick one of several matches for the disc (one row each, as people read them).
class AlbumChooser {
public:
    virtual ~AlbumChooser() = default;
    // The chosen row, counted from 0, or -1 when the user declined every match.
    virtual int displayMultipleAlbumMatches(const QStringList& matchLines) = 0;
    // The lookup that asked has ended (Stop, quitting): a choice still shown is declined.
    virtual void cancelChoice() {}

    // A match's row, the same for every source: "Artist – Title (1999, rock)". An empty artist or
    // title leaves the other alone; empty details are left out, and with them the parentheses.
    static QString matchRow(const QString& artist, const QString& title, const QStringList& details);
};
