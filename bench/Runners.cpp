#include "Runners.h"

#include <soxr.h>

#include <samplerate.h>

#include <algorithm>
#include <chrono>
#include <numeric>

#include "Environment.h"
#include "ReSampler.h"
#include "Reference.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Output room for one call of n input frames, with slack for what a converter holds back.
size_t OutputRoom(const Job& job, size_t n, size_t extra) {
    return static_cast<size_t>(static_cast<double>(n) * job.outRate / job.inRate) + extra + 64;
}

// Runs feed(offset, frames) block after block until the signal ends or the budget is spent,
// then flush(); fills the timing. feed and flush return false on an error.
template <typename Feed, typename Flush>
Timing RunBlocks(const Job& job, size_t total, Clock::time_point t0, Feed feed, Flush flush,
                 const std::string& failure) {
    Timing t;
    size_t at = 0;
    while (at < total) {
        const size_t n = std::min(job.block, total - at);
        if (!feed(at, n)) {
            t.error = failure;
            return t;
        }
        at += n;
        if (at < total && Since(t0) >= job.budget) break;
    }
    if (!flush()) {
        t.error = failure;
        return t;
    }
    t.seconds = Since(t0);
    t.frames = at;
    t.complete = at == total;
    return t;
}

} // namespace

Timing TimeClient(CReSampler& resampler, int quality, int threads, const Job& job,
                  const std::vector<int16_t>& signal) {
    Timing t;
    if (quality >= kQualityLight && !resampler.available()) {
        t.error = "engine library not found";
        return t;
    }
    if (threads > 0)
        platform::SetEnv("QMX_THREADS", std::to_string(threads));
    else
        platform::UnsetEnv("QMX_THREADS");
    if (resampler.Setting(job.inRate, job.outRate, false, static_cast<int8_t>(quality)) < 0) {
        t.error = "Setting refused";
        return t;
    }
    const auto t0 = Clock::now();
    const int32_t headroom = resampler.Begin();
    if (headroom < 0) {
        resampler.End();
        t.error = "Begin refused (" + std::to_string(headroom) + ")";
        return t;
    }
    std::vector<int16_t> out(OutputRoom(job, job.block, static_cast<size_t>(headroom)));
    t = RunBlocks(
        job, signal.size(), t0,
        [&](size_t at, size_t n) {
            return resampler.Exec(signal.data() + at, out.data(), static_cast<int32_t>(n)) >= 0;
        },
        [] { return true; }, "Exec refused");
    resampler.End();
    if (t.error.empty()) t.seconds = Since(t0);
    return t;
}

size_t ReferenceHop(int quality, const Job& job) {
    if (quality != kQualityUltraHeavy) return 1;
    return static_cast<size_t>(job.inRate / std::gcd(job.inRate, job.outRate));
}

Timing TimeReference(int quality, const Job& job, const std::vector<int16_t>& signal) {
    Timing t;
    const std::vector<int32_t> calls = {static_cast<int32_t>(job.block)};
    // At least one call, and at least one converter block of output.
    auto whole = [&](size_t n) { return (n + job.block - 1) / job.block * job.block; };
    size_t frames = std::min(signal.size(), whole(std::max(job.block, ReferenceHop(quality, job))));
    double spent = 0.0;
    for (;;) {
        const std::vector<int16_t> part(signal.begin(),
                                        signal.begin() + static_cast<std::ptrdiff_t>(frames));
        const auto t0 = Clock::now();
        const auto out = ref::Convert(job.inRate, job.outRate, false, quality, part, calls);
        const double s = Since(t0);
        spent += s;
        t.frames = frames;
        t.seconds = s;
        if (out.empty() || frames == signal.size() || spent >= job.budget) break;
        // Long enough to fill what is left of the budget at the rate just seen, growing at most
        // eightfold so a wrong guess costs little.
        const double left = job.budget - spent;
        const double rate = static_cast<double>(frames) / std::max(s, 1e-6);
        const auto next = std::min(static_cast<size_t>(rate * left), frames * 8);
        if (next <= frames) break;
        frames = std::min(signal.size(), whole(next));
    }
    t.complete = t.frames == signal.size();
    return t;
}

Timing TimeSoxr(const std::string& variant, const Job& job, const std::vector<int16_t>& signal) {
    Timing t;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(variant == "VHQ" ? SOXR_VHQ : SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    const auto t0 = Clock::now();
    soxr_error_t error = nullptr;
    soxr_t soxr = soxr_create(job.inRate, job.outRate, 1, &error, &io, &quality, &runtime);
    if (!soxr || error) {
        t.error = std::string("soxr_create: ") + (error ? error : "failed");
        return t;
    }
    std::vector<int16_t> out(OutputRoom(job, job.block, 8192));
    t = RunBlocks(
        job, signal.size(), t0,
        [&](size_t at, size_t n) {
            // soxr may take less than offered when the output is full: offer the rest again.
            while (n > 0) {
                size_t used = 0, made = 0;
                if (soxr_process(soxr, signal.data() + at, n, &used, out.data(), out.size(), &made))
                    return false;
                at += used;
                n -= used;
            }
            return true;
        },
        [&] {
            size_t made = 0;
            do {
                if (soxr_process(soxr, nullptr, 0, nullptr, out.data(), out.size(), &made))
                    return false;
            } while (made > 0);
            return true;
        },
        "soxr_process failed");
    soxr_delete(soxr);
    if (t.error.empty()) t.seconds = Since(t0);
    return t;
}

Timing TimeSamplerate(const std::string& variant, const Job& job,
                      const std::vector<int16_t>& signal) {
    Timing t;
    const auto t0 = Clock::now();
    int error = 0;
    SRC_STATE* src =
        src_new(variant == "SINC_BEST" ? SRC_SINC_BEST_QUALITY : SRC_SINC_FASTEST, 1, &error);
    if (!src) {
        t.error = std::string("src_new: ") + src_strerror(error);
        return t;
    }
    std::vector<float> in(job.block);
    std::vector<float> out(OutputRoom(job, job.block, 8192));
    std::vector<int16_t> out16(out.size());
    SRC_DATA data{};
    data.src_ratio = static_cast<double>(job.outRate) / job.inRate;
    data.data_out = out.data();
    data.output_frames = static_cast<long>(out.size());
    auto step = [&](long frames, bool last) {
        data.data_in = in.data();
        data.input_frames = frames;
        data.end_of_input = last ? 1 : 0;
        do {
            if (src_process(src, &data)) return false;
            src_float_to_short_array(out.data(), out16.data(),
                                     static_cast<int>(data.output_frames_gen));
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
        } while (data.input_frames > 0 || (last && data.output_frames_gen > 0));
        return true;
    };
    t = RunBlocks(
        job, signal.size(), t0,
        [&](size_t at, size_t n) {
            src_short_to_float_array(signal.data() + at, in.data(), static_cast<int>(n));
            return step(static_cast<long>(n), false);
        },
        [&] { return step(0, true); }, "src_process failed");
    src_delete(src);
    if (t.error.empty()) t.seconds = Since(t0);
    return t;
}

} // namespace bench
