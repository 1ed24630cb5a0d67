// A job's outputs are the same bits whatever the number of threads that compute them.
#include "QmxJob.h"
#include "Signals.h"
#include "Workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

std::vector<int16_t> Convert(int threads, int32_t inRate, int32_t outRate, bool stereo,
                             uint8_t quality, const std::vector<int16_t>& signal,
                             const std::vector<int32_t>& sizes) {
    qmx::QmxJob job;
    job.threads = threads;
    EXPECT_EQ(job.Setting(inRate, outRate, stereo ? 1 : 0, quality), QMX_OK);
    const int32_t headroom = job.Begin();
    EXPECT_GT(headroom, 0);
    EXPECT_EQ(job.workers->threads(), threads);
    const size_t ch = stereo ? 2 : 1;
    const size_t frames = signal.size() / ch;
    std::vector<int16_t> all;
    size_t at = 0;
    for (size_t call = 0; at < frames; ++call) {
        const size_t n = std::min(static_cast<size_t>(sizes[call % sizes.size()]), frames - at);
        const size_t room = (n * static_cast<size_t>(outRate) / static_cast<size_t>(inRate) + 2 +
                             static_cast<size_t>(headroom)) *
                            ch;
        std::vector<int16_t> out(room);
        const int32_t made = job.Exec(signal.data() + at * ch, out.data(), static_cast<int32_t>(n));
        EXPECT_GE(made, 0);
        if (made < 0) break;
        all.insert(all.end(), out.begin(), out.begin() + static_cast<long>(made * ch));
        at += n;
    }
    job.End();
    return all;
}

TEST(JobThreads, OutputsDoNotDependOnTheThreads) {
    // Calls from a single frame (one thread does it all) to 20000 frames (shared out).
    const std::vector<int32_t> sizes = {4096, 1, 20000, 0, 333, 7000};
    for (bool stereo : {false, true}) {
        const std::vector<int16_t> noise = Noise(stereo ? 90000 : 45000, 11);
        for (const auto& pair : {std::pair<int32_t, int32_t>{44100, 31250}, {31250, 44100}})
            for (uint8_t q : {qmx::kLight, qmx::kMedium, qmx::kHeavy, qmx::kUltraHeavy}) {
                const std::vector<int16_t> one =
                    Convert(1, pair.first, pair.second, stereo, q, noise, sizes);
                EXPECT_GT(one.size(), 20000u);
                for (int threads : {2, 3})
                    EXPECT_EQ(Convert(threads, pair.first, pair.second, stereo, q, noise, sizes),
                              one)
                        << pair.first << "->" << pair.second << " q" << int(q) << " stereo "
                        << stereo << " threads " << threads;
            }
    }
}

TEST(JobThreads, EveryTaskRunsOnceInEachRun) {
    qmx::Workers workers(3);
    ASSERT_EQ(workers.threads(), 3);
    std::vector<std::atomic<int>> runs(37);
    for (int round = 0; round < 2000; ++round) {
        const int count = 1 + round % 37;
        auto task = [&](int i) { runs[static_cast<size_t>(i)].fetch_add(1); };
        workers.Run(count, task);
        // Everything has finished when Run returns.
        for (int i = 0; i < 37; ++i) {
            ASSERT_EQ(runs[static_cast<size_t>(i)].load(), i < count ? 1 : 0)
                << "round " << round << " task " << i;
            runs[static_cast<size_t>(i)].store(0);
        }
    }
}

} // namespace
