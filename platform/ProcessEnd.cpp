#include "ProcessEnd.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(__SANITIZE_ADDRESS__)
#define BRELKA_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define BRELKA_LEAK_CHECK 1
#endif
#endif

#ifdef BRELKA_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace platform {

void EndProcess(int code) {
    std::cout.flush();
    std::cerr.flush();
    std::clog.flush();
    std::fflush(nullptr);
#ifdef BRELKA_LEAK_CHECK
    // What the leak check at exit would have reported; it ends the process when it finds one.
    __lsan_do_leak_check();
#endif
    std::_Exit(code);
}

} // namespace platform
