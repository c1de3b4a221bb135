#pragma once

// How a track's sound is read from a disc (CdioTrackSource).
struct ReadOptions {
    enum class Mode {
        Paranoia, // cdio-paranoia in full: every stretch read until two reads agree, jitter put right
        Fast,     // plain reads of many sectors at once, nothing checked
    };

    // A drive's read offset lies within this many samples either way (the largest known are
    // about 1,700).
    static constexpr int maxOffset = 3000;

    Mode mode = Mode::Paranoia;
    // The drive's read offset correction in samples (stereo sample frames), as AccurateRip's
    // drive list gives it: each track is read that many samples later on the disc (earlier when
    // negative). Where that reaches beyond the disc's first or last audio sector the track gets
    // digital silence.
    int offset = 0;
    // How often paranoia reads a stretch that will not verify before it gives up on it (a skip).
    int maxRetries = 20;
    // libcdio-paranoia's simulated drive faults (CDDA_TEST_* in cdio/paranoia/cdda.h), for tests:
    // reads that start a little off, or come back a sector short.
    int simulatedFaults = 0;
};
