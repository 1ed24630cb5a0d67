// The handlers run inside the windows' procedures and hooks, called by the system. An exception
// that leaves one goes no further than that procedure: it is shown in a message box and the
// window carries on, its controls and the card as the handler left them.
#pragma once

#include <windows.h>

#include <exception>

namespace brelka {

// The message box of an exception (what is its text; null for one that is not a std::exception),
// over owner.
void ShowException(HWND owner, const char* what);

// handler(), or failed when it threw.
template <typename Handler, typename Result>
Result Guarded(HWND owner, Handler&& handler, Result failed) {
    try {
        return handler();
    } catch (const std::exception& e) {
        ShowException(owner, e.what());
    } catch (...) {
        ShowException(owner, nullptr);
    }
    return failed;
}

} // namespace brelka
