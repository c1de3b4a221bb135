#pragma once

#include <QString>

#include <functional>

// Vesk's log: single lines, no levels. They go to standard error unless a sink takes them
// (tests capture the lines this way, front ends may show them).
void veskLog(const QString& line);

using LogSink = std::function<void(const QString&)>;
// Installs a sink; returns the previous one. An empty sink restores standard error.
LogSink setLogSink(LogSink sink);
