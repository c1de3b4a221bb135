#pragma once

#include "disc/disctoc.h"

#include <QString>
#include <optional>

// A disc as MusicBrainz identifies it: the audio session's first and last track, lead-out and
// track offsets, and the identifier libdiscid computes from them.
class MusicBrainzDiscId {
public:
    // Nothing when the table of contents cannot be a real disc's (no tracks, more than 99,
    // offsets that do not rise or pass the lead-out).
    static std::optional<MusicBrainzDiscId> fromTOC(const DiscTOC& toc);

    // The 28-character identifier, for example "IeldkVfIh1wep_M8CMuDvA0nQ7Q-".
    QString id() const { return m_id; }
    // "<first> <last> <lead-out> <offset>...", the form the web service's toc parameter takes
    // with "+" between the numbers.
    QString tocString() const { return m_toc; }
    // The number of audio tracks.
    qint32 trackCount() const { return m_trackCount; }

private:
    QString m_id;
    QString m_toc;
    qint32 m_trackCount = 0;
};
