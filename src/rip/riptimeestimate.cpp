#include "rip/riptimeestimate.h"

qint64 RipTimeEstimate::secondsLeft(const std::vector<TrackJob>& jobs, qint64 elapsedMilliseconds)
{
    double done = 0; // sample frames encoded
    double left = 0; // sample frames still to encode
    for (const TrackJob& job : jobs) {
        const qint64 frames = job.source ? job.source->sampleFrames() : -1;
        if (frames <= 0)
            continue;
        switch (job.state) {
        case TrackJob::State::Done:
            done += double(frames);
            break;
        case TrackJob::State::Waiting:
            left += double(frames);
            break;
        case TrackJob::State::Running: {
            const double share = job.estimate && job.estimate->percent >= 0 ? job.estimate->percent / 100.0 : 0.0;
            done += share * double(frames);
            left += (1.0 - share) * double(frames);
            break;
        }
        default:
            break; // skipped, stopped, failed: nothing more to encode
        }
    }
    // A second of sound and of encoding at least, or the pace says nothing yet.
    if (done < 44100.0 || elapsedMilliseconds < 1000)
        return -1;
    return qint64(left * double(elapsedMilliseconds) / done / 1000.0 + 0.5);
}

QString RipTimeEstimate::shown(qint64 seconds)
{
    const qint64 s = qMax<qint64>(0, seconds);
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}
