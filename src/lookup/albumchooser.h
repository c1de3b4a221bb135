#pragma once

#include <QStringList>

// Lets the user pick one of several CDDB matches (one match line each).
class AlbumChooser {
public:
    virtual ~AlbumChooser() = default;
    // The chosen row, counted from 0, or -1 when the user declined every match.
    virtual int displayMultipleAlbumMatches(const QStringList& matchLines) = 0;
    // The lookup that asked has ended (Stop, quitting): a choice still shown is declined.
    virtual void cancelChoice() {}
};
