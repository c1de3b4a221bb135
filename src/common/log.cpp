#include "common/log.h"

#include "common/printabletext.h"

#include <cstdio>
#include <mutex>

namespace {
LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}

std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}
} // namespace

// Lines may come from a lookup's worker thread as well as from the main thread.
void veskLog(const QString& line)
{
    std::lock_guard lock(logMutex());
    if (const LogSink& sink = currentSink()) {
        sink(line);
        return;
    }
    // One line each, and nothing a server sent reaches the terminal raw.
    const QByteArray bytes = withControlsEscaped(line).toUtf8();
    std::fprintf(stderr, "vesk: %s\n", bytes.constData());
    std::fflush(stderr);
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(logMutex());
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}
