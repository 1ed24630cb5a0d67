// The two functions the play module exports to brelka-cli (C names, so they are found by name).
#pragma once

#if defined(_WIN32)
#define BRELKA_PLAY_API __declspec(dllexport)
#else
#define BRELKA_PLAY_API __attribute__((visibility("default")))
#endif

extern "C" {
// Both return the tool's exit code and print failures on stderr.
typedef int (*BrelkaPlaySlotFn)(const char* folder, const char* slotText, int quiet);
typedef int (*BrelkaPlayFileFn)(const char* path, int quiet);
BRELKA_PLAY_API int BrelkaPlaySlot(const char* folder, const char* slotText, int quiet);
BRELKA_PLAY_API int BrelkaPlayFile(const char* path, int quiet);
}
