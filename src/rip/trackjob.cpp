#include "rip/trackjob.h"

#include <QFileInfo>

QString TrackJob::outputName() const
{
    return QFileInfo(outputPath).fileName();
}
