#pragma once

#include <QString>

// An encoder's estimate of the time a run has left, as its progress output states it.
struct EncoderEstimate {
    // What the time-remaining line shows, exactly as the encoder wrote it.
    QString shown;
    qint64 seconds = 0;
    // How much of the track is done, 0 to 100; -1 when the report does not say.
    int percent = -1;
};
