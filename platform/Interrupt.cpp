#include "Interrupt.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace platform {

namespace {
std::atomic<bool> gRequested{false};
} // namespace

bool InterruptRequested() {
    return gRequested.load();
}

#if defined(_WIN32)

namespace {
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    // The second one goes on to the system's handler, which ends the process.
    return gRequested.exchange(true) ? FALSE : TRUE;
}
} // namespace

InterruptGuard::InterruptGuard() {
    gRequested = false;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptGuard::~InterruptGuard() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

#else

namespace {
struct sigaction gPrevious[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

extern "C" void OnInterrupt(int) {
    gRequested = true;
}
} // namespace

InterruptGuard::InterruptGuard() {
    gRequested = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the second one has the default effect
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &action, &gPrevious[i]);
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &gPrevious[i], nullptr);
}

#endif

} // namespace platform
