#include "rip/releasefilewriter.h"

// Connected to the release file generator when it lands; until then nothing is written.
void writeReleaseFiles(const QString& folder, const QString& m3uName, const QString& sfvName,
                       bool replaceSpaces)
{
    Q_UNUSED(folder);
    Q_UNUSED(m3uName);
    Q_UNUSED(sfvName);
    Q_UNUSED(replaceSpaces);
}
