#include "common/cdfolder.h"

#include "common/vesktools.h"

#include <QFileInfo>

bool CDFolder::isCDSource(const QString& folder)
{
    return QFileInfo::exists(VeskTools::joinedPath(folder, tocFileName())) ||
           folder.contains(QStringLiteral("/gvfs/") + gvfsMountPrefix());
}
