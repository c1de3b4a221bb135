#pragma once

#include "disc/cdiodisc.h"
#include "disc/cdiosounddevice.h"
#include "disc/readoptions.h"
#include "disc/tracksource.h"

#include <memory>

// A track of a disc opened with CdioDisc, read through cdio-paranoia (or in fast mode) with the
// drive's read offset applied. Its sound only comes as a stream (no file for the encoder).
class CdioTrackSource : public TrackSource {
public:
    // Track 0 is the hidden audio before track 1, when the disc has some (CdioDisc::track).
    CdioTrackSource(std::shared_ptr<const CdioDisc> disc, int trackNumber, ReadOptions options = {});

    int trackNumber() const { return m_number; }
    const ReadOptions& options() const { return m_options; }

    // "Track 3".
    QString name() const override;
    // Exact: the track's sectors times 588; -1 when it is no audio track of the disc.
    qint64 sampleFrames() const override;
    QString filePath() const override { return QString(); }
    std::unique_ptr<QIODevice> openSound() const override;
    // The same device, with its report of how reading went; nothing when problem() says why.
    std::unique_ptr<CdioSoundDevice> openReader() const;
    // No such track, a data track, or an offset out of range.
    QString problem() const override;
    // The disc's ISRC for the track; on a drive read from the subchannel, about a second.
    QString isrc() const override;

private:
    std::shared_ptr<const CdioDisc> m_disc;
    int m_number;
    ReadOptions m_options;
    std::optional<CdioDisc::Track> m_track;
};
