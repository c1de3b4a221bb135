#pragma once

// Plays the desktop's "finished" sound once, without waiting.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void playFinishedSound() = 0;
};
