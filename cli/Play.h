// brelka-cli play: a slot or a file through the same auditions as the window, in a module beside
// the tool (builds without the window toolkit have none, and say so).
#pragma once

#include <string>

// Both print failures on stderr. Once the module has played, they end the process with the tool's
// exit code, because the audio toolkit's own teardown at exit can abort a process that has
// finished cleanly; without the module they return the exit code.
int PlaySlot(const std::string& folder, const std::string& slotText, bool quiet);
int PlayFile(const std::string& path, bool quiet);
