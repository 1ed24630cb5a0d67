// Loads the engine library and leaves jobs running (mono and stereo, FIR and block converter, on
// more than one thread), then either unloads it without ending them ("unload": run under a leak
// checker, nothing may be left behind, and each unload must return within a second, as waiting
// for the engine's threads while the system unloads it would hang), or ends the process with the
// last job still running ("exit").
#include "DynamicLibrary.h"
#include "Environment.h"
#include "qmx.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "qmx_unload_helper: %s\n", what);
    return 2;
}

// Ends the process with code 3 unless Done is called within a second.
class Watchdog {
  public:
    Watchdog()
        : thread_([this] {
              const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
              while (!done_)
                  if (std::chrono::steady_clock::now() > until) {
                      std::fprintf(stderr, "qmx_unload_helper: the unload hung\n");
                      std::fflush(stderr);
                      std::_Exit(3);
                  } else {
                      std::this_thread::sleep_for(std::chrono::milliseconds(5));
                  }
          }) {}
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Held to the end, never unloaded, in "exit".
platform::DynamicLibrary* volatile kept = nullptr;

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "unload") != 0 && std::strcmp(argv[1], "exit") != 0))
        return Fail("usage: qmx_unload_helper unload|exit <library>");
    const bool unload = std::strcmp(argv[1], "unload") == 0;
    platform::SetEnv("QMX_THREADS", "3"); // helper threads in every job
    const struct { uint8_t stereo, quality; } jobs[] = {{1, 4}, {1, 5}, {0, 2}};
    std::vector<int16_t> in(2 * 4096), out(2 * 8192);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<int16_t>((i * 7919) % 20000);
    for (const auto& j : jobs) {
        auto* library = new platform::DynamicLibrary;
        if (!library->Load(argv[2])) return Fail("cannot load the library");
        auto setting = reinterpret_cast<QmxSettingFn>(library->Symbol("QMX_Setting"));
        auto begin = reinterpret_cast<QmxBeginFn>(library->Symbol("QMX_Begin"));
        auto exec = reinterpret_cast<QmxExecFn>(library->Symbol("QMX_Exec"));
        if (!setting || !begin || !exec) return Fail("missing export");
        if (begin() != -2) return Fail("library loaded with a job");
        if (setting(44100, 31250, j.stereo, j.quality) != 0) return Fail("setting refused");
        if (begin() < 0) return Fail("begin refused");
        // Long enough calls to be shared out among the threads.
        for (int call = 0; call < 4; ++call)
            if (exec(in.data(), out.data(), 4096) < 0) return Fail("exec refused");
        if (!unload) {
            kept = library; // the process ends with the library loaded and a job running
            break;
        }
        {
            const Watchdog watchdog;
            delete library;
        }
    }
    return 0;
}
