// Speed of each quality: seconds of 44100 Hz mono noise converted to 31250 Hz in blocks of 4096
// frames through the resampler client (Simple built in, the others in the engine library beside
// this program); prints input samples per second on one thread.
//   qmx_speed [seconds of input, default 60]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "ReSampler.h"

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const auto frames = static_cast<size_t>(seconds > 0 ? seconds : 60) * 44100;
    std::vector<int16_t> in(frames);
    std::mt19937 gen(1);
    std::uniform_int_distribution<int> dist(-32767, 32767);
    for (auto& s : in)
        s = static_cast<int16_t>(dist(gen));

    CReSampler resampler;
    const char* names[] = {"", "Simple", "Light", "Medium", "Heavy", "Ultra Heavy"};
    std::vector<int16_t> out(1 << 16);
    std::printf("%-12s %14s %10s\n", "quality", "samples/s", "seconds");
    for (int q = kQualitySimple; q <= kQualityUltraHeavy; ++q) {
        if (q >= kQualityLight && !resampler.available()) {
            std::printf("%-12s %14s\n", names[q], "(no engine)");
            continue;
        }
        resampler.Setting(44100, 31250, false, static_cast<int8_t>(q));
        if (resampler.Begin() < 0) return 1;
        const auto t0 = std::chrono::steady_clock::now();
        for (size_t at = 0; at < frames; at += 4096) {
            const auto n = static_cast<int32_t>(std::min<size_t>(4096, frames - at));
            if (resampler.Exec(in.data() + at, out.data(), n) < 0) return 1;
        }
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        resampler.End();
        std::printf("%-12s %14.3g %10.3f\n", names[q], static_cast<double>(frames) / s, s);
    }
    return 0;
}
