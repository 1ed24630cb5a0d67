// brelka: moves sound between WAV/AIFF files and the drum machine's sample slots.
#include <windows.h>

#include <objbase.h>

#include <exception>
#include <memory>
#include <string>

#include "GetWin.h"
#include "MainWin.h"
#include "Version.h"
#include "Win32Look.h"
#include "Win32Text.h"

namespace {

void ShowException(const std::string& text) {
    MessageBoxW(nullptr, brelka::Wide(text).c_str(),
                brelka::Wide(platform::VersionString("ProductName")).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    brelka::BecomeDpiAware();
    // The folder picker and the file dialogs are COM objects of this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int result = 0;
    try {
        auto window = std::make_unique<TMainWin>();
        auto panel = std::make_unique<TGetWin>(window->Handle());
        window->SetPreviewPanel(panel.get());
        window->Show(show);
        result = window->RunMessageLoop();
        // The panel first: it belongs to the window's open dialog.
        window->SetPreviewPanel(nullptr);
        panel.reset();
        window.reset();
    } catch (const std::exception& e) {
        ShowException(e.what());
        result = 1;
    } catch (...) {
        ShowException(std::string());
        result = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
