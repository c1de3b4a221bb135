#pragma once

#include "model/album.h"

// The track information editor as the rip session sees it: shown modally before encoding.
class TrackEditor {
public:
    virtual ~TrackEditor() = default;
    // Shows the album for editing and returns when the user closed the editor.
    virtual void displayTrackInfo(const Album& album) = 0;
    // True when the editor was last closed with "OK".
    virtual bool userDidEditInformation() const = 0;
    // A fresh album built from what the editor shows now.
    virtual Album getEditedInformation() const = 0;
};
