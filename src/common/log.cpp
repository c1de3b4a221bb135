#include "common/log.h"

#include "common/printabletext.h"

#include <cstdio>
#include <mutex>

namespace {
struct LogState {
    std::mutex mutex;
    LogSink sink;
    LogWatcher watcher;
    QStringList lines;
};

LogState& state()
{
    static LogState log;
    return log;
}

constexpr qsizetype kKeptLines = 5000;

void writeLine(const QString& line, bool notice)
{
    LogState& log = state();
    LogWatcher watcher;
    {
        std::lock_guard lock(log.mutex);
        log.lines.append(line);
        if (log.lines.size() > kKeptLines)
            log.lines.remove(0, log.lines.size() - kKeptLines);
        if (log.sink) {
            log.sink(line);
        } else {
            // One line each, and nothing a server sent reaches the terminal raw.
            const QByteArray bytes = withControlsEscaped(line).toUtf8();
            std::fprintf(stderr, "vesk: %s\n", bytes.constData());
            std::fflush(stderr);
        }
        watcher = log.watcher;
    }
    // Outside the lock: a watcher may hand the line to another thread, which may log too.
    if (watcher)
        watcher(line, notice);
}
} // namespace

// Lines may come from a lookup's worker thread as well as from the main thread.
void veskLog(const QString& line)
{
    writeLine(line, false);
}

void veskNotice(const QString& line)
{
    writeLine(line, true);
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(state().mutex);
    LogSink previous = std::move(state().sink);
    state().sink = std::move(sink);
    return previous;
}

void setLogWatcher(LogWatcher watcher)
{
    std::lock_guard lock(state().mutex);
    state().watcher = std::move(watcher);
}

QStringList veskLogLines()
{
    std::lock_guard lock(state().mutex);
    return state().lines;
}
