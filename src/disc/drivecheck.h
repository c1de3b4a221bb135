#pragma once

#include <QString>

typedef struct _CdIo CdIo_t;

// What the system says about a CD drive before and while libcdio reads it, in words for the
// user: libcdio itself only says that it failed.
class DriveCheck {
public:
    DriveCheck() = delete;

    // Throws DiscError when device is no drive (NoDrive), may not be read (NoPermission) or holds
    // no disc that can be read now (NoDisc).
    static void checkBeforeOpening(const QString& device);
    // Why an open drive can no longer be read (the disc taken out, the drive unplugged), or a
    // null string while it may still answer. Costs one command to the drive.
    static QString problemWhileReading(CdIo_t* cdio, const QString& device);
};
