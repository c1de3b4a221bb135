#include "rip/hiddentrack.h"

#include "disc/cdiodisc.h"
#include "disc/cdiotracksource.h"

#include <QByteArray>
#include <algorithm>

bool HiddenTrack::holdsSound(const std::shared_ptr<const CdioDisc>& disc)
{
    if (!disc || !disc->track(0))
        return false;
    ReadOptions fast;
    fast.mode = ReadOptions::Mode::Fast;
    const CdioTrackSource pregap(disc, 0, fast);
    if (!pregap.problem().isEmpty())
        return false;
    const std::unique_ptr<QIODevice> sound = pregap.openSound();
    if (!sound)
        return false;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    while (true) {
        const qint64 got = sound->read(block.data(), block.size());
        if (got <= 0)
            return false;
        if (std::any_of(block.constData(), block.constData() + got, [](char byte) { return byte != 0; }))
            return true;
    }
}
