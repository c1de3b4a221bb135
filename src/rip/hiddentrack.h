#pragma once

#include <memory>

class CdioDisc;

// Sound before track 1: some discs hide a track in its pregap. It is ripped as track 0 ("00")
// unless it is digital silence, as nearly every pregap is.
class HiddenTrack {
public:
    HiddenTrack() = delete;
    // Reads the pregap (fast: a pregap is short, and only its silence matters). False when the
    // disc has none or it holds only zeros.
    static bool holdsSound(const std::shared_ptr<const CdioDisc>& disc);
};
