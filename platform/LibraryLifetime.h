// The system's notifications to a shared library of the program when it is loaded into a process
// and unloaded from it. The library defines both functions. On Windows they run from DllMain,
// under the system's loader lock, where waiting for another thread would hang the process;
// elsewhere they run as the library's constructor and destructor.
#pragma once

namespace platform {

void LibraryLoaded();

// processEnding: the whole process ends. On Windows its other threads are gone already and may
// have left the heap in any state, so what the library holds is left to the system then.
// Otherwise the library alone is unloaded and must free what it holds.
void LibraryUnloading(bool processEnding);

} // namespace platform
