// Speed of each quality: 60 s of 44100 Hz mono noise converted to 31250 Hz in blocks of 4096
// frames through the engine library; prints input samples per second.
//   qmx_speed [library] [seconds of input]
#include "qmx.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "libqmx.so";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    void* h = dlopen(path.c_str(), RTLD_NOW);
    if (!h) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto setting = reinterpret_cast<QmxSettingFn>(dlsym(h, "QMX_Setting"));
    auto begin = reinterpret_cast<QmxBeginFn>(dlsym(h, "QMX_Begin"));
    auto exec = reinterpret_cast<QmxExecFn>(dlsym(h, "QMX_Exec"));
    auto end = reinterpret_cast<QmxEndFn>(dlsym(h, "QMX_End"));
    const size_t frames = static_cast<size_t>(seconds) * 44100;
    std::vector<int16_t> in(frames);
    std::mt19937 gen(1);
    std::uniform_int_distribution<int> dist(-32767, 32767);
    for (auto& v : in)
        v = static_cast<int16_t>(dist(gen));
    const char* names[] = {"", "", "Light", "Medium", "Heavy", "Ultra Heavy"};
    for (uint8_t q = 2; q <= 5; ++q) {
        setting(44100, 31250, 0, q);
        const int32_t headroom = begin();
        std::vector<int16_t> out(4096 + static_cast<size_t>(headroom) + 8);
        const auto t0 = std::chrono::steady_clock::now();
        for (size_t at = 0; at < frames; at += 4096) {
            const int32_t n = static_cast<int32_t>(std::min<size_t>(4096, frames - at));
            exec(in.data() + at, out.data(), n);
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        end();
        std::printf("%-11s %10.0f input samples/s  (%.2f s for %d s of audio)\n", names[q],
                    static_cast<double>(frames) / s, s, seconds);
    }
    dlclose(h);
    return 0;
}
