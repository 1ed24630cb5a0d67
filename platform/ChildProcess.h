// Running another program to its end and measuring it: wall time and peak resident memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ChildRun {
    bool started = false;   // false: the program could not be started at all
    int exitCode = -1;      // the child's exit code; -1 when it was ended by a signal
    double seconds = 0.0;   // wall time from start to exit
    uint64_t peakBytes = 0; // the child's peak resident memory (working set on Windows)
};

// Runs argv[0] (looked up on the search path when it has no folder) with the arguments that
// follow and this process's environment as it is now, waits for it and returns what was measured.
// With quiet, the child's standard output and error go nowhere. Not for several threads at once.
ChildRun RunChild(const std::vector<std::string>& argv, bool quiet);

// On POSIX systems a child made by fork starts as a copy of its parent, and that copy counts in
// the child's peak memory. This starts a small launcher process that RunChild then uses, so that
// the peak is the child program's own: call it early, while this process is still small. It is
// stopped when this process ends. Elsewhere it does nothing. True when the launcher runs.
bool StartChildLauncher();

// The peak resident memory of this process so far, in bytes (0 when unknown).
uint64_t PeakMemoryOfThisProcess();

} // namespace platform
