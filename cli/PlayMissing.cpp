// The tool built without Qt has no audio output.
#include <iostream>

#include "Play.h"

bool PlayAvailable() {
    return false;
}

int PlaySlot(const std::string&, const std::string&, bool) {
    std::cerr << "This build of brelka-cli has no audio output.\n";
    return 1;
}

int PlayFile(const std::string& path, bool quiet) {
    return PlaySlot(path, {}, quiet);
}
