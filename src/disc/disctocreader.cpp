#include "disc/disctocreader.h"

#include "common/cdfolder.h"
#include "common/log.h"
#include "common/vesktools.h"
#include "common/audiotracklist.h"
#include "disc/drivetoc.h"
#include "disc/tracklengthtoc.h"

#include <QFileInfo>

std::optional<DiscTOC> DiscTOCReader::readDiscTOC(const QString& sourceFolder, const QString& deviceFolder)
{
    const QString plist = VeskTools::joinedPath(sourceFolder, CDFolder::tocFileName());
    if (QFileInfo::exists(plist)) {
        if (auto toc = DiscTOC::readFromFile(plist))
            return toc;
        veskLog(QStringLiteral("Could not read %1; trying the other ways to identify the disc").arg(plist));
    }
    if (const QString device = DriveTOC::deviceForMount(sourceFolder, deviceFolder); !device.isEmpty()) {
        if (auto toc = DriveTOC::read(device))
            return toc;
    }
    const std::optional<QStringList> tracks = AudioTrackList::tracksInFolder(sourceFolder, false);
    if (!tracks || tracks->isEmpty())
        return std::nullopt;
    QStringList paths;
    for (const QString& name : *tracks)
        paths.append(VeskTools::joinedPath(sourceFolder, name));
    return TrackLengthTOC::fromFiles(paths);
}
