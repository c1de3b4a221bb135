#pragma once

#include <QString>

// An encoder's estimate of the time a run has left, as its progress output states it.
struct EncoderEstimate {
    // What the time-remaining line shows, exactly as the encoder wrote it.
    QString shown;
    qint64 seconds = 0;
};
