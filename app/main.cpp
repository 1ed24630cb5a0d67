// brelka: moves sound between WAV/AIFF files and the drum machine's sample slots.
#include "Application.h"
#include "GetWin.h"
#include "MainWin.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    MainWin = new TMainWin();
    GetWin = new TGetWin();
    MainWin->show();
    const int result = TApplication::exec();
    // The panel first: it may sit inside the window's open dialog.
    delete GetWin;
    GetWin = nullptr;
    delete MainWin;
    MainWin = nullptr;
    return result;
}
