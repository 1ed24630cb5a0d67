// Getting a sound ready for the machine on its way into a slot: trim the silence at its ends,
// bring its peak to a level (alone, or with the rest of its kit), fade its ends, and round it
// to 16 bits with TPDF dither. Every step is off unless asked for.
//
// The signal is mono, in 16-bit steps (full scale 32768: a 16-bit source's samples are whole
// numbers, a 24-bit or float source's have fractions). The work takes two passes over it, so
// that no more than a block is held at a time: a `SignalScan` sees the whole signal once, a
// `PrepPlan` is made from what it found, and a `PrepProcessor` turns the signal, block by block,
// into the 16-bit samples the slot gets.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace brelka {

constexpr double kFullScale = 32768.0;
constexpr double kDefaultTrimDb = -60.0;
constexpr double kDefaultNormalizeDb = -0.3;
constexpr double kTrimPrerollMs = 1.0;

struct PrepOptions {
    std::optional<double> trimDb;      // trim below this level (dBFS)
    std::optional<double> normalizeDb; // bring the peak to this level (dBFS)
    bool kit = false;                  // with normalizeDb: one gain for the whole kit
    double fadeInMs = 0.0;
    double fadeOutMs = 0.0;
    bool dither = false;

    bool Any() const;
    // "trim, normalize −0.3 dB, fade in 5 ms, dither" (empty when none is on).
    std::string Summary() const;
};

// Level in dBFS as a magnitude in 16-bit steps, and back (−inf for 0).
double LevelFromDb(double db);
double DbFromLevel(double level);

// The first pass: where the signal is loud enough to keep, its peak, and a fingerprint of its
// values (the dither's seed, so the same sound gives the same bytes every time).
class SignalScan {
  public:
    // threshold: the magnitude (16-bit steps) a kept sample must reach; 0 counts every sample.
    explicit SignalScan(double threshold = 0.0);
    void Add(const double* samples, size_t count);
    // The same for `count` samples that sample(i) gives, i from 0: for a caller that makes
    // them on the way (the mono of a block of frames) rather than storing them first.
    template <class Sample> void AddEach(size_t count, const Sample& sample);

    int64_t frames() const { return frames_; }
    int64_t firstLoud() const { return firstLoud_; } // −1: no sample reached the threshold
    int64_t lastLoud() const { return lastLoud_; }
    // Largest magnitude; it lies in the part a trim keeps, as every trimmed sample is quieter.
    double peak() const { return peak_; }
    uint64_t fingerprint() const { return hash_; }

  private:
    static constexpr uint64_t kFnvPrime = 1099511628211ULL;
    double threshold_;
    int64_t frames_ = 0;
    int64_t firstLoud_ = -1;
    int64_t lastLoud_ = -1;
    double peak_ = 0.0;
    uint64_t hash_;
};

template <class Sample> void SignalScan::AddEach(size_t count, const Sample& sample) {
    // The fingerprint's chain of multiplications sets the pace; the peak rides along with it,
    // and the loud ends are looked for apart, from the block's ends inward.
    uint64_t hash = hash_;
    double peak = peak_;
    for (size_t i = 0; i < count; ++i) {
        const double v = sample(i);
        peak = std::max(peak, std::fabs(v));
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        hash = (hash ^ bits) * kFnvPrime; // a word at a time: a seed, not a checksum
    }
    hash_ = hash;
    peak_ = peak;
    const auto loud = [this, &sample](size_t i) {
        const double m = std::fabs(sample(i));
        return m >= threshold_ && m > 0.0;
    };
    size_t last = count;
    while (last > 0 && !loud(last - 1))
        --last;
    if (last > 0) {
        if (firstLoud_ < 0) {
            size_t first = 0;
            while (!loud(first))
                ++first;
            firstLoud_ = frames_ + static_cast<int64_t>(first);
        }
        lastLoud_ = frames_ + static_cast<int64_t>(last - 1);
    }
    frames_ += static_cast<int64_t>(count);
}

// What the second pass does.
struct PrepPlan {
    int64_t begin = 0; // first kept frame
    int64_t end = 0;   // one past the last kept frame
    double gain = 1.0;
    int64_t fadeIn = 0;  // frames, from begin
    int64_t fadeOut = 0; // frames, up to end
    bool dither = false;
    bool finer = false; // the source has more than 16 bits: every sample is rounded
    uint64_t seed = 0;
};

// The plan for one sound. rate: the signal's rate; finer: the source has more than 16 bits;
// kitPeak: with options.kit, the largest peak of all the kit's sounds (0: this sound alone).
PrepPlan PlanPrep(const SignalScan& scan, const PrepOptions& options, double rate, bool finer,
                  double kitPeak = 0.0);

// The gain that brings `peak` to `db`, at most to 32767 (1 for a silent signal).
double GainToLevel(double peak, double db);

// Raised-cosine gain of frame i of a fade of n frames, counted from its quiet end:
// 0.5 (1 − cos(π i / n)); 1 from frame n on. A fade-in's first frame is 0 and its frame i has
// FadeGain(i, n); a fade-out's last frame has FadeGain(1, n), as sox's half-sine fades do.
double FadeGain(int64_t i, int64_t n);

// The rounding of the second pass, in the header for PrepProcessor::ProcessEach.
namespace prep_detail {

// splitmix64: a small generator whose sequence is the same on every platform.
inline uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// 1.5 × 2^52: added to a magnitude below 2^51, it leaves that number's nearest whole number in
// the low bits of the sum. The conversions below go through it rather than through the
// processor's conversion instructions, whose writes to part of a register would chain every
// sample of a loop to the one before.
constexpr double kMagic = 6755399441055744.0;
constexpr int64_t kMagicBits = 0x4338000000000000LL;

// A whole number below 2^51 in size as a double, exactly.
inline double ExactDouble(int64_t n) {
    const int64_t bits = kMagicBits + n;
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d - kMagic;
}

// The limit of Limit, for u = v + 0.5 at or beyond ±32768 or not a number.
inline int16_t LimitOutside(double u, int64_t& clipped) {
    if (u >= 32768.0) { // its floor is above 32767
        ++clipped;
        return 32767;
    }
    if (u < -32768.0) {
        ++clipped;
        return -32768;
    }
    return std::isnan(u) ? int16_t{0} : int16_t{-32768};
}

// Rounds to 16 bits (floor(v + 0.5)) and limits, counting what was limited.
inline int16_t Limit(double v, int64_t& clipped) {
    const double u = v + 0.5;
    if (!(std::fabs(u) < 32768.0)) return LimitOutside(u, clipped); // one test on the way
    // The floor of u: its nearest whole number, one less where that lies above it.
    const double m = u + kMagic;
    int64_t bits = 0;
    std::memcpy(&bits, &m, sizeof bits);
    const auto nearest = static_cast<int32_t>(bits - kMagicBits);
    return static_cast<int16_t>(nearest - static_cast<int32_t>(m - kMagic > u));
}

// Triangular noise of ±1 step: the difference of two uniform values, (r >> 32) / 2^32 −
// (r mod 2^32) / 2^32, taken exactly as the difference of the two whole numbers.
inline double Tpdf(uint64_t& state) {
    const uint64_t r = NextRandom(state);
    const int64_t d = static_cast<int64_t>(r >> 32) - static_cast<int64_t>(r & 0xFFFFFFFFULL);
    return ExactDouble(d) * (1.0 / 4294967296.0);
}

// The frames between the fades: the gain alone, with or without the noise; in(i) gives them.
template <bool kDither, class Sample>
void RoundRun(const Sample& in, size_t n, double gain, uint64_t& state, int64_t& clipped,
              int16_t* out) {
    uint64_t s = state;
    int64_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        double v = in(i)*gain;
        if constexpr (kDither) v += Tpdf(s);
        out[i] = Limit(v, c);
    }
    state = s;
    clipped += c;
}

} // namespace prep_detail

// The second pass: feed it the signal again, from its first frame, in blocks of any size.
class PrepProcessor {
  public:
    explicit PrepProcessor(const PrepPlan& plan);
    // Appends the 16-bit samples of the kept frames among `count` more frames to `out`.
    void Process(const double* samples, size_t count, std::vector<int16_t>& out);
    // The same into `out`, which has room for `count`; returns how many it wrote.
    size_t Process(const double* samples, size_t count, int16_t* out);
    // The same for `count` frames that sample(i) gives, i from 0: for a caller that makes them
    // on the way (the mono of a block of frames) rather than storing them first.
    template <class Sample> size_t ProcessEach(size_t count, const Sample& sample, int16_t* out);
    // Samples that were beyond the 16-bit range and were limited to it.
    int64_t clipped() const { return clipped_; }

  private:
    int16_t Round(double v, bool reduce);
    PrepPlan plan_;
    int64_t position_ = 0;
    int64_t clipped_ = 0;
    uint64_t state_;
};

template <class Sample>
size_t PrepProcessor::ProcessEach(size_t count, const Sample& sample, int16_t* out) {
    const int64_t start = position_;
    position_ += static_cast<int64_t>(count);
    const int64_t from = std::max(start, plan_.begin);
    const int64_t to = std::min(position_, plan_.end);
    if (from >= to) return 0;
    const int64_t fadeInEnd = plan_.begin + plan_.fadeIn;
    const int64_t fadeOutStart = plan_.end - plan_.fadeOut;
    // Where neither fade reaches, the gain alone; the fades frame by frame.
    const int64_t middleFrom = std::clamp(fadeInEnd, from, to);
    const int64_t middleTo = std::clamp(fadeOutStart, middleFrom, to);
    const auto faded = [&](int64_t p) {
        double g = plan_.gain;
        if (p < fadeInEnd) g *= FadeGain(p - plan_.begin, plan_.fadeIn);
        if (p >= fadeOutStart) g *= FadeGain(plan_.end - p, plan_.fadeOut);
        return Round(sample(static_cast<size_t>(p - start)) * g, true);
    };
    int16_t* o = out;
    for (int64_t p = from; p < middleFrom; ++p)
        *o++ = faded(p);
    const auto n = static_cast<size_t>(middleTo - middleFrom);
    const auto first = static_cast<size_t>(middleFrom - start);
    const auto middle = [&sample, first](size_t i) { return sample(first + i); };
    const bool reduce = plan_.finer || plan_.gain != 1.0;
    if (plan_.dither && reduce)
        prep_detail::RoundRun<true>(middle, n, plan_.gain, state_, clipped_, o);
    else
        prep_detail::RoundRun<false>(middle, n, plan_.gain, state_, clipped_, o);
    o += n;
    for (int64_t p = middleTo; p < to; ++p)
        *o++ = faded(p);
    return static_cast<size_t>(o - out);
}

// 16-bit rounding with the limit, counting what was limited; used where no plan applies.
int16_t LimitTo16(double v, int64_t& clipped);

} // namespace brelka
