#pragma once

#include "common/soundplayer.h"

#include <QLibrary>

// Plays the desktop theme's "complete" sound through libcanberra, loaded when first needed so the
// application runs without it; where it is missing or cannot play, the window system's beep.
class DesktopSoundPlayer : public SoundPlayer {
public:
    DesktopSoundPlayer();
    ~DesktopSoundPlayer() override;
    void playFinishedSound() override;

private:
    bool open();

    QLibrary m_library;
    void* m_context = nullptr;
    bool m_tried = false;
};
