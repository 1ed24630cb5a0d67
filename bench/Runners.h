// Timing one converter on a mono 16-bit signal fed in fixed blocks, within a time budget.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CReSampler;

namespace bench {

struct Timing {
    size_t frames = 0;     // input frames converted within the timing
    double seconds = 0.0;  // time they took, setup and flush included
    bool complete = false; // the whole signal was converted
    std::string error;     // empty on success
    std::string skipped;   // why the row was not run; empty when it was
};

struct Job {
    int32_t inRate = 0;
    int32_t outRate = 0;
    size_t block = 4096; // frames per call
    double budget = 2.0; // stop after this many seconds, but only after at least one block
};

// Qualities 1 to 5 through the product's resampler client; threads (1, 2, or 0 for the engine's
// default) is passed to the engine through QMX_THREADS before the job begins.
Timing TimeClient(CReSampler& resampler, int quality, int threads, const Job& job,
                  const std::vector<int16_t>& signal);

// Input frames between two output blocks of the reference converter of a quality (1 for those
// that put out something for every call).
size_t ReferenceHop(int quality, const Job& job);

// The plain reference converters of the engine tests (qualities 1 to 5). They convert a whole
// signal in one call, so a prefix of the signal is timed, its length chosen to fill the budget.
Timing TimeReference(int quality, const Job& job, const std::vector<int16_t>& signal);

// libsoxr at SOXR_HQ (variant "HQ") or SOXR_VHQ ("VHQ"), one thread.
Timing TimeSoxr(const std::string& variant, const Job& job, const std::vector<int16_t>& signal);

// libsamplerate at SRC_SINC_FASTEST ("SINC_FASTEST") or SRC_SINC_BEST ("SINC_BEST"), the
// conversions from and to 16-bit inside the timing.
Timing TimeSamplerate(const std::string& variant, const Job& job,
                      const std::vector<int16_t>& signal);

} // namespace bench
