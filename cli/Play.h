// brelka-cli play: a slot or a file through the same auditions as the window.
#pragma once

#include <string>

// Both return the tool's exit code and print failures on stderr.
int PlaySlot(const std::string& folder, const std::string& slotText, bool quiet);
int PlayFile(const std::string& path, bool quiet);

// False when this build of the tool has no audio output.
bool PlayAvailable();
