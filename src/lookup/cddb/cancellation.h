#pragma once

#include <atomic>

// A flag that one thread raises to end another thread's waits at once: a socket waiting for its
// peer watches fd() next to its own descriptor. Raising it cannot be undone.
class Cancellation {
public:
    Cancellation();
    ~Cancellation();
    Cancellation(const Cancellation&) = delete;
    Cancellation& operator=(const Cancellation&) = delete;

    // Safe from any thread, any number of times.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    // Becomes readable once cancelled; -1 when the system gave no descriptor (then only the
    // flag tells, at the next step).
    int fd() const { return m_fd; }

private:
    std::atomic<bool> m_cancelled{false};
    int m_fd = -1;
};
