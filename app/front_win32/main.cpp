// brelka: moves sound between WAV/AIFF files and the drum machine's sample slots.
#include <windows.h>

#include <ole2.h>

#include <exception>
#include <memory>

#include "GetWin.h"
#include "Guard.h"
#include "MainWin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    // The folder picker and the file dialogs are COM objects of this thread; the windows take
    // files dropped from the file manager through OLE.
    const HRESULT com = OleInitialize(nullptr);
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
        // The window could not be made: nothing to carry on with.
        brelka::ShowException(nullptr, e.what());
        result = 1;
    } catch (...) {
        brelka::ShowException(nullptr, nullptr);
        result = 1;
    }
    if (SUCCEEDED(com)) OleUninitialize();
    return result;
}
