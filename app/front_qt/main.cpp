// brelka: moves sound between WAV/AIFF files and the drum machine's sample slots.
#include <memory>

#include "Application.h"
#include "GetWin.h"
#include "MainWin.h"
#include "ProcessEnd.h"

int main(int argc, char** argv) {
    int result = 0;
    {
        TApplication app(argc, argv);
        auto window = std::make_unique<TMainWin>();
        auto panel = std::make_unique<TGetWin>();
        window->SetPreviewPanel(panel.get());
        window->show();
        result = TApplication::exec();
        // The panel first: it may sit inside the window's open dialog.
        window->SetPreviewPanel(nullptr);
        panel.reset();
        window.reset();
    }
    // Everything is closed and written; the audio toolkit's own teardown at exit can abort the
    // process when the sound server is still talking to it (a sound stopped a moment ago).
    platform::EndProcess(result);
}
