// Speed of the block converter (quality 5) at any rate pair: seconds of mono noise at the input
// rate converted in calls of 4096 samples; prints input samples per second on one thread, and
// the time of the first call, which builds the transform plans.
//   block_speed [input rate, default 44100] [output rate, default 31250] [seconds, default 20]
#include "QmxJob.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

int main(int argc, char** argv) {
    const int32_t inRate = argc > 1 ? std::atoi(argv[1]) : 44100;
    const int32_t outRate = argc > 2 ? std::atoi(argv[2]) : 31250;
    const double seconds = argc > 3 ? std::atof(argv[3]) : 20.0;
    const auto frames = static_cast<size_t>((seconds > 0 ? seconds : 20.0) * inRate);
    std::vector<int16_t> in(frames);
    std::mt19937 gen(1);
    std::uniform_int_distribution<int> dist(-32767, 32767);
    for (auto& s : in)
        s = static_cast<int16_t>(dist(gen));

    qmx::QmxJob job;
    if (job.Setting(inRate, outRate, 0, qmx::kUltraHeavy) != 0) return 1;
    const int32_t headroom = job.Begin();
    if (headroom < 0) {
        std::printf("begin refused: %d\n", headroom);
        return 1;
    }
    std::vector<int16_t> out(static_cast<size_t>(4096.0 * outRate / inRate) + 2 +
                             static_cast<size_t>(headroom));
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    auto t1 = t0;
    size_t firstCall = 0;
    for (size_t at = 0; at < frames; at += 4096) {
        const auto n = static_cast<int32_t>(std::min<size_t>(4096, frames - at));
        const int32_t made = job.Exec(in.data() + at, out.data(), n);
        if (made < 0) return 1;
        // The first call that converts a block also builds the plans.
        if (firstCall == 0 && made > 0) {
            firstCall = at + static_cast<size_t>(n);
            t1 = Clock::now();
        }
    }
    const auto t2 = Clock::now();
    job.End();
    const double first = std::chrono::duration<double>(t1 - t0).count();
    const double rest = std::chrono::duration<double>(t2 - t1).count();
    std::printf("%d -> %d: %.3g input samples/s (first call, with set-up: %.3f s)\n", inRate,
                outRate, static_cast<double>(frames - firstCall) / rest, first);
    return 0;
}
