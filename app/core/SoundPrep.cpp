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

int16_t PrepProcessor::Round(double v, bool reduce) {
    if (plan_.dither && reduce) v += prep_detail::Tpdf(state_);
    return prep_detail::Limit(v, clipped_);
}

void PrepProcessor::Process(const double* samples, size_t count, std::vector<int16_t>& out) {
    const size_t at = out.size();
    out.resize(at + count);
    out.resize(at + Process(samples, count, out.data() + at));
}

size_t PrepProcessor::Process(const double* samples, size_t count, int16_t* out) {
    return ProcessEach(
        count, [samples](size_t i) { return samples[i]; }, out);
}

int16_t LimitTo16(double v, int64_t& clipped) {
    return prep_detail::Limit(v, clipped);
}

} // namespace brelka
