#pragma once

#include <QString>

// Writes a scripted stand-in for the LAME encoder as the resource of the encoder's name in
// folder, for the cases the real one cannot produce on demand. It finds the input (the argument
// ending in .aiff) and the output (the argument after it), then by the input's name:
//   "...Fail..."  prints an error and exits with status 2 without writing anything;
//   "...Crash..." kills itself with SIGKILL;
//   "...WaitN.aiff" (N a digit) writes the start of its file, waits (9 - N) * 3 / 4 seconds
//                  (whole ones), reports the estimate 0:0N and runs 6 seconds more;
//   otherwise     prints one progress line and writes a 64 KiB output file.
// Returns false when the script could not be written.
bool writeFakeEncoder(const QString& folder);
