#pragma once

#include "common/veskexception.h"

// A disc or disc image that cannot be opened or read, with the reason in words that can be
// shown as they are. What went wrong is told by reason(), never by matching the text.
class DiscError : public VeskException {
public:
    enum class Reason {
        NoDrive,      // nothing at that path, or not a CD drive
        NoPermission, // the device exists but may not be read
        NoDisc,       // the drive is empty, its tray open, or not ready
        NotAudio,     // a disc without a single audio track
        BadImage,     // a cue sheet or .toc file that cannot be read as a disc
        Removed,      // the disc, the drive or the image went away while it was read
        ReadFailed,   // the sound cannot be read any further
        Stopped,      // the reader was told to stop
    };

    DiscError(Reason reason, QString message)
        : VeskException(QStringLiteral("Disc"), std::move(message)), m_reason(reason)
    {
    }
    Reason discReason() const { return m_reason; }

private:
    Reason m_reason;
};
