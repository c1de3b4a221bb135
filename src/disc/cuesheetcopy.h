#pragma once

#include "disc/imagesheet.h"

// A cue sheet made fit for libcdio 2.1's BIN/CUE driver. That driver reads the sound from the
// ".bin" named after the cue sheet, whatever its FILE line says, so the copy is called
// "image.cue" beside a link "image.bin" to the file the sheet does name. What the driver cannot
// read right is refused with the reason: several files, a file that is not raw sound, silence
// that is not in the file.
class CueSheetCopy {
public:
    CueSheetCopy() = delete;

    static constexpr const char* sheetName = "image.cue";

    // The copy of the cue sheet at cuePath whose bytes are text; throws DiscError (BadImage).
    static ImageSheet make(const QByteArray& text, const QString& cuePath);
};
