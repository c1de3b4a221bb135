#pragma once

#include <mutex>

class QEventLoop;

// What a lookup that blocks in a local event loop (on a worker thread) needs to be ended from
// another thread: cancel() quits the loop at once, and no later run() starts.
class CancellableLoop {
public:
    // Runs the loop until something quits it; false when it was cancelled (before or during).
    bool run(QEventLoop& loop);
    // May be called from any thread.
    void cancel();

private:
    std::mutex m_mutex; // guards what follows
    QEventLoop* m_loop = nullptr;
    bool m_cancelled = false;
};
