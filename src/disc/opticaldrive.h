#pragma once

#include <QString>

// A CD drive as UDisks2 describes it, and the disc in it.
struct OpticalDrive {
    // UDisks2's object for the drive, e.g. "/org/freedesktop/UDisks2/drives/HL_DT_ST_DVDRAM_1234".
    QString objectPath;
    // The drive's block device, e.g. "/dev/sr0".
    QString device;
    // As the drive names itself; read offsets are listed by these.
    QString vendor;
    QString model;
    bool mediaAvailable = false;
    // The disc's audio tracks; 0 without a disc or for a data disc.
    int audioTracks = 0;

    bool holdsAudioCD() const { return mediaAvailable && audioTracks > 0; }
    friend bool operator==(const OpticalDrive&, const OpticalDrive&) = default;
};
