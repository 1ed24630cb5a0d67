#include "WaveWindowWin32.h"

#include <windows.h>

#include "WaveRecordsWin32.h"

namespace brelka {

static_assert(kWin32WaveDoneMessage == MM_WOM_DONE && kWin32WaveStopMessage == WM_USER,
              "message numbers");

bool DeliverWaveMessage(unsigned message, intptr_t lParam, WaveListener& listener) {
    if (message == kWin32WaveDoneMessage) {
        if (WaveHeader* header = TakeWaveDone(lParam)) listener.WaveDone(header);
        return true;
    }
    if (message == kWin32WaveStopMessage) {
        listener.WaveStop();
        return true;
    }
    return false;
}

namespace {

HWND Hwnd(void* window) {
    return static_cast<HWND>(window);
}

} // namespace

void Win32WaveWindow::PostStop() {
    PostMessageA(Hwnd(window_), WM_USER, 0, 0);
}

void Win32WaveWindow::DeliverDone() {
    MSG msg;
    while (PeekMessageA(&msg, Hwnd(window_), MM_WOM_DONE, MM_WOM_DONE, PM_REMOVE))
        DispatchMessageA(&msg);
}

void Win32WaveWindow::DiscardDone() {
    MSG msg;
    while (PeekMessageA(&msg, Hwnd(window_), MM_WOM_DONE, MM_WOM_DONE, PM_REMOVE))
        TakeWaveDone(static_cast<intptr_t>(msg.lParam)); // frees what only the message held
}

void Win32WaveWindow::DiscardStop() {
    MSG msg;
    while (PeekMessageA(&msg, Hwnd(window_), WM_USER, WM_USER, PM_REMOVE)) {
    }
}

} // namespace brelka
