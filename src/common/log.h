#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Vesk's log: single lines, no levels. They go to standard error unless a sink takes them
// (tests capture the lines this way, front ends may show them).
void veskLog(const QString& line);
// A log line the user should see where they are looking (the window's status line), not only in
// the log: a genre dropped, files left out, a folder not looked up.
void veskNotice(const QString& line);

using LogSink = std::function<void(const QString&)>;
// Installs a sink; returns the previous one. An empty sink restores standard error.
LogSink setLogSink(LogSink sink);

// Told of every line besides the sink (notice: said with veskNotice), on the thread that logged
// it. One watcher at a time; an empty one removes it.
using LogWatcher = std::function<void(const QString& line, bool notice)>;
void setLogWatcher(LogWatcher watcher);
// The lines logged since the program started, the latest few thousand.
QStringList veskLogLines();
