// Facts about the terminal the program runs in.
#pragma once

namespace platform {

// True when standard error is a terminal (not a file or a pipe).
bool StderrIsTerminal();

} // namespace platform
