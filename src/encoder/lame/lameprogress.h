#pragma once

#include "encoder/encoderestimate.h"

#include <QString>
#include <optional>

// LAME's estimate of the time a run has left, as it ends each progress report with
// "--disptime": "    0:03 ", "   12:47 ", " 1:02:03 " (hours), "   123 h " (beyond 99 hours).
class LameProgress {
public:
    LameProgress() = delete;

    // The estimate a chunk of the encoder's output ends with; nothing when its end is anything
    // else (the header, the ReplayGain line, an error message). What is shown is the report's
    // last six characters, or as many more as the whole estimate needs.
    static std::optional<EncoderEstimate> fromChunk(const QString& text);
};
