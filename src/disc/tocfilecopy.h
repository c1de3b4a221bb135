#pragma once

#include "disc/imagesheet.h"

// A cdrdao .toc file made fit for libcdio 2.1's cdrdao driver, which opens the files a .toc
// names from the current folder, fails on a LANGUAGE_MAP block over several lines (as cdrdao
// writes it) and on CD-Text items it does not know (SIZE_INFO and other byte lists), keeps
// cdrdao's octal escapes in CD-Text, takes a file's start for the track's place on the disc,
// reads every audio track from the first track's file and counts no silence. The copy names
// each file by its absolute path (a link in the private folder), has one CD-Text block in plain
// strings, and puts every track where cdrdao would: the tracks follow each other, a data track
// after its pregap. A .toc whose sound libcdio would still misread is refused with the reason.
// Raw sound in a .toc is big-endian, as cdrdao writes and reads it.
class TocFileCopy {
public:
    TocFileCopy() = delete;

    static constexpr const char* sheetName = "image.toc";

    // The copy of the .toc file at tocPath whose bytes are text, its links to lie in
    // privateFolder; throws DiscError (BadImage).
    static ImageSheet make(const QByteArray& text, const QString& tocPath, const QString& privateFolder);
};
