#pragma once

#include "disc/imagesheet.h"

#include <QTemporaryDir>
#include <memory>

typedef struct _CdIo CdIo_t;

// A disc image (a cue sheet or a cdrdao .toc file and the files it names) as libcdio opens it:
// a corrected copy of the sheet in a private folder beside links to the image's files (see
// CueSheetCopy, TocFileCopy). The folder lives as long as this object; libcdio's handle must not
// outlive it.
class DiscImageCopy {
public:
    // Whether path names an image Vesk opens this way (by its suffix: .cue or .toc).
    static bool isImagePath(const QString& path);
    // The copy of the image at path; throws DiscError (BadImage) when the sheet cannot be read,
    // names files that are not there, or is one libcdio would misread.
    static std::unique_ptr<DiscImageCopy> make(const QString& path);

    // libcdio's handle on the copy; throws DiscError (BadImage) with libcdio's reason, told in
    // the user's names, when it will not open it.
    CdIo_t* open() const;

    const QString& path() const { return m_path; }
    const ImageSheet& sheet() const { return m_sheet; }
    bool isToc() const { return m_toc; }
    // A message of libcdio's about the copy, told with the user's names and line numbers.
    QString inUserTerms(QString line) const;
    // Why the image's sound can no longer be read (a file gone or shortened), or a null string.
    QString soundProblem() const;

private:
    DiscImageCopy() = default;

    QString m_path;
    bool m_toc = false;
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_copyPath;
    ImageSheet m_sheet;
    QList<qint64> m_soundSizes;
};
