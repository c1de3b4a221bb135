#pragma once

#include "common/soundplayer.h"

// vesk-rip's "finished" sound: the desktop's "complete" event through canberra-gtk-play, else
// the freedesktop sound file through paplay, started detached so that it outlives vesk-rip.
// Without either program one log line says that no sound is played.
class ConsoleSoundPlayer : public SoundPlayer {
public:
    void playFinishedSound() override;
};
