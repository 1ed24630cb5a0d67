// Ctrl-C at the terminal while a long job runs: noted instead of ending the process at once, so
// the job can stop where it checks and leave its files as they were.
#pragma once

namespace platform {

// While a guard lives, the first Ctrl-C (SIGINT or SIGTERM; Ctrl-C or Ctrl-Break in a Windows
// console) only sets the flag that InterruptRequested reads; a second one ends the process as
// usual, in case the job does not stop. Guards do not nest.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// True once an interrupt arrived under the current guard.
bool InterruptRequested();

} // namespace platform
