#include "SoundPrep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace brelka {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint64_t kFnvOffset = 14695981039346656037ULL;

// splitmix64: a small generator whose sequence is the same on every platform.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// cos and 2^x from additions and multiplications alone, so that a fade or a gain comes out the
// same to the last bit whichever C library the program runs on (theirs differ in the last place).
double CosOfZeroToPi(double x) {
    // cos(x) = −sin(x − π/2), the series of sin on [−π/2, π/2] to its 23rd power.
    const double y = x - kPi / 2;
    const double y2 = y * y;
    double term = 1.0;
    for (int k = 22; k >= 2; k -= 2)
        term = 1.0 - y2 / (static_cast<double>(k) * static_cast<double>(k + 1)) * term;
    return -y * term;
}

double Exp2(double t) {
    const double n = std::floor(t);
    const double z = (t - n) * 0.69314718055994530942; // (t − n) ln 2, in [0, ln 2)
    double sum = 1.0;
    for (int k = 20; k >= 1; --k)
        sum = 1.0 + z / static_cast<double>(k) * sum;
    return std::ldexp(sum, static_cast<int>(n));
}

int64_t FramesOf(double ms, double rate) {
    if (!(ms > 0.0)) return 0;
    return static_cast<int64_t>(std::llround(ms * rate / 1000.0));
}

std::string DbText(double db) {
    char text[32];
    // U+2212 MINUS SIGN for a level below full scale, as the menus write it.
    std::snprintf(text, sizeof text, "%s%.1f dB", db < 0 ? "\xE2\x88\x92" : "", std::fabs(db));
    return text;
}

std::string MsText(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g ms", ms);
    return text;
}

} // namespace

bool PrepOptions::Any() const {
    return trimDb || normalizeDb || fadeInMs > 0.0 || fadeOutMs > 0.0 || dither;
}

std::string PrepOptions::Summary() const {
    std::vector<std::string> parts;
    if (trimDb) parts.push_back("trim");
    if (normalizeDb)
        parts.push_back((kit ? "kit normalize " : "normalize ") + DbText(*normalizeDb));
    if (fadeInMs > 0.0) parts.push_back("fade in " + MsText(fadeInMs));
    if (fadeOutMs > 0.0) parts.push_back("fade out " + MsText(fadeOutMs));
    if (dither) parts.push_back("dither");
    std::string text;
    for (const std::string& p : parts)
        text += (text.empty() ? "" : ", ") + p;
    return text;
}

double LevelFromDb(double db) {
    return kFullScale * Exp2(db / 20.0 * 3.32192809488736234787);
}

double DbFromLevel(double level) {
    if (!(level > 0.0)) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(level / kFullScale);
}

SignalScan::SignalScan(double threshold) : threshold_(threshold), hash_(kFnvOffset) {}

void SignalScan::Add(const double* samples, size_t count) {
    AddEach(count, [samples](size_t i) { return samples[i]; });
}

double GainToLevel(double peak, double db) {
    if (!(peak > 0.0)) return 1.0;
    return std::min(LevelFromDb(db), 32767.0) / peak;
}

double FadeGain(int64_t i, int64_t n) {
    if (n <= 0 || i >= n) return 1.0;
    if (i < 0) return 0.0;
    return 0.5 * (1.0 - CosOfZeroToPi(kPi * static_cast<double>(i) / static_cast<double>(n)));
}

PrepPlan PlanPrep(const SignalScan& scan, const PrepOptions& options, double rate, bool finer,
                  double kitPeak) {
    PrepPlan plan;
    plan.end = scan.frames();
    if (options.trimDb && scan.firstLoud() >= 0) {
        plan.begin = std::max<int64_t>(0, scan.firstLoud() - FramesOf(kTrimPrerollMs, rate));
        plan.end = scan.lastLoud() + 1;
    }
    if (options.normalizeDb) {
        const double peak = options.kit && kitPeak > 0.0 ? kitPeak : scan.peak();
        plan.gain = GainToLevel(peak, *options.normalizeDb);
    }
    const int64_t kept = plan.end - plan.begin;
    plan.fadeIn = std::min(kept, FramesOf(options.fadeInMs, rate));
    plan.fadeOut = std::min(kept, FramesOf(options.fadeOutMs, rate));
    plan.dither = options.dither;
    plan.finer = finer;
    plan.seed = scan.fingerprint();
    return plan;
}

PrepProcessor::PrepProcessor(const PrepPlan& plan) : plan_(plan), state_(plan.seed) {}

namespace {

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

// Rounds to 16 bits (floor(v + 0.5)) and limits, counting what was limited.
inline int16_t Limit(double v, int64_t& clipped) {
    const double u = v + 0.5;
    if (u >= 32768.0) { // its floor is above 32767
        ++clipped;
        return 32767;
    }
    if (u < -32768.0) {
        ++clipped;
        return -32768;
    }
    if (std::isnan(u)) return 0;
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

// The frames between the fades: the gain alone, with or without the noise.
template <bool kDither>
void RoundRun(const double* in, size_t n, double gain, uint64_t& state, int64_t& clipped,
              int16_t* out) {
    uint64_t s = state;
    int64_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        double v = in[i] * gain;
        if constexpr (kDither) v += Tpdf(s);
        out[i] = Limit(v, c);
    }
    state = s;
    clipped += c;
}

} // namespace

int16_t PrepProcessor::Round(double v, bool reduce) {
    if (plan_.dither && reduce) v += Tpdf(state_);
    return Limit(v, clipped_);
}

void PrepProcessor::Process(const double* samples, size_t count, std::vector<int16_t>& out) {
    const size_t at = out.size();
    out.resize(at + count);
    out.resize(at + Process(samples, count, out.data() + at));
}

size_t PrepProcessor::Process(const double* samples, size_t count, int16_t* out) {
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
        return Round(samples[p - start] * g, true);
    };
    int16_t* o = out;
    for (int64_t p = from; p < middleFrom; ++p)
        *o++ = faded(p);
    const auto n = static_cast<size_t>(middleTo - middleFrom);
    const double* middle = samples + (middleFrom - start);
    const bool reduce = plan_.finer || plan_.gain != 1.0;
    if (plan_.dither && reduce)
        RoundRun<true>(middle, n, plan_.gain, state_, clipped_, o);
    else
        RoundRun<false>(middle, n, plan_.gain, state_, clipped_, o);
    o += n;
    for (int64_t p = middleTo; p < to; ++p)
        *o++ = faded(p);
    return static_cast<size_t>(o - out);
}

int16_t LimitTo16(double v, int64_t& clipped) {
    return Limit(v, clipped);
}

} // namespace brelka
