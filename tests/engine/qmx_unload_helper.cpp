// Loads the engine library, leaves jobs running (mono and stereo, FIR and block converter) and
// unloads it without ending them; run under a leak checker, nothing may be left behind.
#include "qmx.h"

#include <dlfcn.h>

#include <cstdio>
#include <vector>

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "qmx_unload_helper: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: qmx_unload_helper <library>");
    const struct { uint8_t stereo, quality; } jobs[] = {{1, 4}, {1, 5}, {0, 2}};
    std::vector<int16_t> in(2 * 4096), out(2 * 8192);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<int16_t>((i * 7919) % 20000);
    for (const auto& j : jobs) {
        void* h = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        if (!h) return Fail(dlerror());
        auto setting = reinterpret_cast<QmxSettingFn>(dlsym(h, "QMX_Setting"));
        auto begin = reinterpret_cast<QmxBeginFn>(dlsym(h, "QMX_Begin"));
        auto exec = reinterpret_cast<QmxExecFn>(dlsym(h, "QMX_Exec"));
        if (!setting || !begin || !exec) return Fail("missing export");
        if (begin() != -2) return Fail("library loaded with a job");
        if (setting(44100, 31250, j.stereo, j.quality) != 0) return Fail("setting refused");
        if (begin() < 0) return Fail("begin refused");
        if (exec(in.data(), out.data(), 4096) <= 0) return Fail("exec gave nothing");
        if (dlclose(h) != 0) return Fail("dlclose failed");
    }
    return 0;
}
