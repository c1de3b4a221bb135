#pragma once

#include <QString>

struct TrackJob;

// A step on each finished file, after its encoder has ended well and before the release files
// are written: tags the encoder cannot write, pictures. Runs on the main thread.
class FinishedFileStep {
public:
    virtual ~FinishedFileStep() = default;
    // The file is still under the job's partialPath; it gets its name once every step is done.
    // False, with failure set, when the file must not count as a finished track.
    virtual bool finishFile(const TrackJob& job, QString& failure) = 0;
};
