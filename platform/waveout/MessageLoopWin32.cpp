// The command-line player's window on Windows: a hidden message-only window whose procedure
// hands the audition's messages to the listener.
#include <windows.h>

#include <map>
#include <mutex>

#include "MessageLoop.h"
#include "WaveWindowWin32.h"

namespace brelka {

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 10;
const wchar_t kClassName[] = L"brelka.WaveMessages";

// The listener of each window made here.
std::mutex listenersMutex;
std::map<HWND, WaveListener*> listeners;

WaveListener* ListenerOf(HWND hwnd) {
    const std::lock_guard<std::mutex> lock(listenersMutex);
    const auto found = listeners.find(hwnd);
    return found == listeners.end() ? nullptr : found->second;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WaveListener* listener = ListenerOf(hwnd);
    if (listener != nullptr &&
        DeliverWaveMessage(message, static_cast<intptr_t>(lParam), *listener))
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The module this code is in (the play module, or a program).
HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&WindowProc), &module);
    return module;
}

class Win32MessageLoop : public MessageLoop {
  public:
    explicit Win32MessageLoop(WaveListener& listener) : window_(MakeWindow(listener)) {}
    ~Win32MessageLoop() override {
        HWND hwnd = static_cast<HWND>(window_.Handle());
        if (hwnd == nullptr) return;
        window_.DiscardDone();
        window_.DiscardStop();
        DestroyWindow(hwnd);
        const std::lock_guard<std::mutex> lock(listenersMutex);
        listeners.erase(hwnd);
    }

    WaveWindow& Window() override { return window_; }

    void RunUntil(const std::function<bool()>& done) override {
        if (done()) return;
        HWND hwnd = static_cast<HWND>(window_.Handle());
        const UINT_PTR timer = SetTimer(hwnd, kTimerId, kTimerMs, nullptr);
        MSG msg;
        while (!done()) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop around this one
                break;
            }
            if (got == -1) break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (timer != 0) KillTimer(hwnd, timer);
    }

  private:
    static void* MakeWindow(WaveListener& listener) {
        const HINSTANCE instance = ThisModule();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc); // fails harmlessly when a second loop registers it again
        HWND hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance, nullptr);
        if (hwnd != nullptr) {
            const std::lock_guard<std::mutex> lock(listenersMutex);
            listeners[hwnd] = &listener;
        }
        return hwnd;
    }

    Win32WaveWindow window_;
};

} // namespace

std::unique_ptr<MessageLoop> MessageLoop::Create(WaveListener& listener) {
    return std::make_unique<Win32MessageLoop>(listener);
}

} // namespace brelka
