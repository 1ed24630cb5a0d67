#include "Play.h"

#include <iostream>

#include "DynamicLibrary.h"
#include "PlayModule.h"
#include "ProcessEnd.h"

namespace {

// The play module beside the tool, loaded on first use; null members when it is not there.
struct Module {
    platform::DynamicLibrary library;
    BrelkaPlaySlotFn playSlot = nullptr;
    BrelkaPlayFileFn playFile = nullptr;

    Module() {
        if (!library.Load(platform::ModuleFileName("brelka-play"))) return;
        playSlot = reinterpret_cast<BrelkaPlaySlotFn>(library.Symbol("BrelkaPlaySlot"));
        playFile = reinterpret_cast<BrelkaPlayFileFn>(library.Symbol("BrelkaPlayFile"));
    }
};

// Never unloaded: the toolkit it brings may leave exit handlers that point into it.
Module& PlayModule() {
    static Module* module = new Module;
    return *module;
}

int NoAudio() {
    std::cerr << "This build of brelka-cli has no audio output.\n";
    return 1;
}

} // namespace

int PlaySlot(const std::string& folder, const std::string& slotText, bool quiet) {
    Module& m = PlayModule();
    if (m.playSlot == nullptr) return NoAudio();
    platform::EndProcess(m.playSlot(folder.c_str(), slotText.c_str(), quiet ? 1 : 0));
}

int PlayFile(const std::string& path, bool quiet) {
    Module& m = PlayModule();
    if (m.playFile == nullptr) return NoAudio();
    platform::EndProcess(m.playFile(path.c_str(), quiet ? 1 : 0));
}
