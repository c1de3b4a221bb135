#pragma once

#include <QProcess>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

// What a vesk-rip run left: its exit status (-1 when it crashed or never ended) and its output.
struct RipRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built vesk-rip to its end with its input from /dev/null. prepare may set up the process
// and, by starting it itself, act once it runs. Callers name the CDDB server (an empty one for
// none) so that no test reaches the internet; AccurateRip is not asked unless --accuraterip-url
// names a stand-in.
RipRun runVeskRip(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {});

// Passes when the run exited with code and its standard error holds every one of the texts.
::testing::AssertionResult exitedSaying(const RipRun& run, int code, const QStringList& said = {});

// A preparation for runVeskRip that sets one variable of the environment (PATH, LC_ALL).
std::function<void(QProcess&)> withEnvironment(const QString& name, const QString& value);

// A loopback address of this test process's own, so that a server on the CDDB port 8880 is free
// whatever else runs.
QString ownLoopbackAddress();

// Makes cd a disc of short AIFF tracks starting at the offsets, with its ".TOC.plist"; returns the
// disc's CDDB identifier as a server names its entry file.
QString makeTocDisc(const QString& cd, const QList<qint64>& offsets, qint64 leadout);

// Polls the condition until it holds (true) or the time is up (false).
bool waitUntil(const std::function<bool()>& condition, int milliseconds = 120000);
