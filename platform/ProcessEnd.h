// Ending the process without the exit-time teardown of the libraries it has loaded.
#pragma once

namespace platform {

// Writes out the standard streams and ends the process with `code` at once: no static
// destructors and no exit handlers run. For a process that has finished its work and released
// what it holds, when a library's exit-time teardown is not safe (the audio toolkit tears down
// its sound-server connection while its own thread may still be using it, and that can abort a
// process that has otherwise finished cleanly). A sanitizer build runs its leak check first.
[[noreturn]] void EndProcess(int code);

} // namespace platform
