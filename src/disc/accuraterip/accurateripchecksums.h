#pragma once

#include "disc/accuraterip/accurateripdiscid.h"

#include <QList>
#include <QtGlobal>
#include <map>
#include <vector>

// AccurateRip's checksums of every audio track of a disc, computed while the sound is read, in
// one pass and in any block sizes. Each stereo sample frame counts as one little-endian 32-bit
// word (left channel in the low half).
//
// Samples are given with their place on the disc, in sample frames from the first audio track's
// first sample (disc position = LBA × 588). A track's checked sound is taken `shift` samples later
// on the disc than its table-of-contents place: 0 when the reader already applied the drive's
// read offset, the offset itself for sound read without one (GNOME's CD files). Samples that
// belong to no track, or arrive twice, are ignored; tracks may be fed in any order, and sound
// nobody gives (a track not chosen, the lead-in, the lead-out) counts as silence wherever another
// track's checksum at another offset reaches into it.
//
// Besides v1, v2 and the sector-450 value at the given shift, it keeps the few thousand samples
// at each track's edges and around its sector 450, so that v1 and the sector-450 value can be had
// at any other offset within ±maxOffset samples (the search for a drive's offset); v2 cannot.
class AccurateRipChecksums {
public:
    // The database's offsets lie within this many samples either way (five sectors).
    static constexpr int maxOffset = 2940;

    struct Track {
        quint32 v1 = 0;
        quint32 v2 = 0;
        quint32 sector450 = 0;   // the v1-style sum over the track's sector 450 (multipliers 1 to 588)
        qint64 samples = 0;      // frames of this track given so far
        qint64 length = 0;       // frames of the track in the table of contents
        bool complete() const;   // (defined in the .cpp) every frame of the track was given
    };

    // trackStarts: each audio track's first sector (LBA); leadout: the sector after the last.
    AccurateRipChecksums(const QList<qint64>& trackStarts, qint64 leadout, int shift = 0);

    // bytes of raw CD audio (16-bit little-endian stereo) starting at disc sample `position`;
    // a trailing partial frame is kept until the next call continues it at position + whole frames.
    void add(qint64 position, const char* data, qint64 bytes);

    int trackCount() const;
    // By index from 0 (track 1 of the disc's audio is index 0).
    const Track& track(int index) const;
    qint64 trackSamples(int index) const; // the track's length in frames from the TOC

    // The track's v1 checksum and sector-450 value had the sound been taken `offset` more samples
    // later (|offset| <= maxOffset). Exact when the samples it reaches for were given; otherwise
    // those count as silence.
    quint32 v1At(int index, int offset) const;
    quint32 sector450At(int index, int offset) const;
    // Whether the track is long enough to have a sector 450 at every offset (and so a value the
    // database can be asked about).
    bool hasSector450(int index) const;
    // sector450At for every offset from -maxOffset to maxOffset (element offset + maxOffset), in
    // one sliding pass over the kept samples rather than 588 products an offset.
    std::vector<quint32> sector450AtEveryOffset(int index) const;

private:
    // Given samples kept at fixed disc positions, first to first + size - 1; zero until given.
    struct Window {
        qint64 first = 0;
        std::vector<quint32> samples;
        int track = 0;
        int kind = 0;
    };
    // A track's checked sound on the disc and what is not yet in Track.
    struct Span {
        qint64 begin = 0;         // disc position of frame 1 (multiplier 1)
        qint64 end = 0;           // one past the last frame
        qint64 countedBegin = 0;  // the frames the checksums count, [countedBegin, countedEnd)
        qint64 countedEnd = 0;
        quint32 countedSum = 0;   // the plain sum of the counted frames given
        // the disc positions already given, as sorted, disjoint, non-touching [begin, end) pairs
        std::vector<std::pair<qint64, qint64>> given;
        int startWindow = 0;      // around countedBegin
        int endWindow = 0;        // around countedEnd
        int sectorWindow = 0;     // around sector 450
    };

    void addFrames(qint64 position, const char* data, qint64 frames);
    void addToTrack(int index, qint64 from, qint64 to, const char* data);
    void addNew(int index, qint64 from, qint64 to, const char* data);
    void keepInWindows(qint64 from, qint64 to, const char* data);
    // Σ (p − begin + 1)·X(p) and Σ X(p) over disc positions [from, to) of a window.
    std::pair<quint32, quint32> windowSums(const Window& window, qint64 trackBegin, qint64 from, qint64 to) const;

    std::vector<Track> m_tracks;
    std::vector<Span> m_spans;
    std::vector<Window> m_windows;   // in order of first position
    qint64 m_widestWindow = 0;
    qint64 m_begin = 0;              // every track's checked sound lies in [m_begin, m_end)
    qint64 m_end = 0;
    char m_partial[4] = {};
    int m_partialBytes = 0;
    qint64 m_partialPosition = 0;
};
