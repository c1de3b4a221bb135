#include "common/log.h"

#include <cstdio>

namespace {
LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}
} // namespace

void veskLog(const QString& line)
{
    if (const LogSink& sink = currentSink()) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "vesk: %s\n", bytes.constData());
    std::fflush(stderr);
}

LogSink setLogSink(LogSink sink)
{
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}
