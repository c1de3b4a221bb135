#include "rip/trackjob.h"

#include "common/vesktools.h"

#include <QFileInfo>

QString TrackJob::outputName() const
{
    return QFileInfo(outputPath).fileName();
}

QString TrackJob::partialPathFor(const QString& outputPath)
{
    const QFileInfo output(outputPath);
    return VeskTools::joinedPath(output.path(),
                                 VeskTools::fittedName(QLatin1Char('.') + output.fileName(), QStringLiteral(".part")));
}
