// brelka-cli play: a slot or a file through the same auditions as the window, in a module beside
// the tool (builds without the window toolkit have none, and say so).
#pragma once

#include <string>

// Both return the tool's exit code and print failures on stderr.
int PlaySlot(const std::string& folder, const std::string& slotText, bool quiet);
int PlayFile(const std::string& path, bool quiet);
