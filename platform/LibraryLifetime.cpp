// Linked into a shared library (as an object file, so the entry point is always part of it).
#include "LibraryLifetime.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(module); // threads starting or ending change nothing
        platform::LibraryLoaded();
        break;
    case DLL_PROCESS_DETACH:
        platform::LibraryUnloading(reserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}

#else

namespace {
__attribute__((constructor)) void Loaded() {
    platform::LibraryLoaded();
}
__attribute__((destructor)) void Unloading() {
    platform::LibraryUnloading(false);
}
} // namespace

#endif
