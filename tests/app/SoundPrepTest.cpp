// Trim, normalize, fade and dither on signals whose right answer is known: sox's own `silence`,
// `norm` and `fade` on the same samples where it has the operation, and the spectrum where it
// does not (dither).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "SoundPrep.h"
#include "TestSupport.h"

using namespace brelka;

namespace {

constexpr double kRate = 31250.0;
constexpr double kPi = 3.14159265358979323846;

// Both passes over a whole signal, in blocks of an awkward size.
std::vector<int16_t> Prepare(const std::vector<double>& x, const PrepOptions& o, bool finer,
                             double kitPeak = 0.0, int64_t* clipped = nullptr) {
    SignalScan scan(o.trimDb ? LevelFromDb(*o.trimDb) : 0.0);
    for (size_t at = 0; at < x.size(); at += 1000)
        scan.Add(x.data() + at, std::min<size_t>(1000, x.size() - at));
    PrepProcessor p(PlanPrep(scan, o, kRate, finer, kitPeak));
    std::vector<int16_t> out;
    for (size_t at = 0; at < x.size(); at += 777)
        p.Process(x.data() + at, std::min<size_t>(777, x.size() - at), out);
    if (clipped) *clipped = p.clipped();
    return out;
}

double PeakOf(const std::vector<int16_t>& s) {
    int peak = 0;
    for (int16_t v : s)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    return peak;
}

// A decaying 24-bit-like tone: values with fractions, in 16-bit steps.
std::vector<double> Hit(size_t n, double amplitude, double hz = 220.0) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        x[i] = amplitude * std::exp(-8.0 * t) * std::sin(2 * kPi * hz * t + 0.3);
    }
    return x;
}

// Power of one frequency in the signal (Goertzel), per sample.
double PowerAt(const std::vector<double>& s, double hz) {
    const double w = 2 * kPi * hz / kRate;
    double s1 = 0, s2 = 0;
    for (double v : s) {
        const double s0 = v + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / static_cast<double>(s.size());
}

double SignalScanPeak(const std::vector<double>& x) {
    SignalScan scan;
    scan.Add(x.data(), x.size());
    return scan.peak();
}

#if !defined(_WIN32)
// sox's answer for the same signal: the doubles in 16-bit steps go in as 64-bit floats, and 16-bit
// samples come back, without sox's own dither.
std::vector<int16_t> Sox(const std::vector<double>& x, const std::string& effects) {
    testsupport::TempDir dir;
    std::vector<uint8_t> bytes(x.size() * 8);
    for (size_t i = 0; i < x.size(); ++i) {
        const double v = x[i] / kFullScale;
        std::memcpy(bytes.data() + 8 * i, &v, 8);
    }
    testsupport::WriteBytes(dir.file("in.f64"), bytes);
    const auto r =
        testsupport::Run("sox -D -t raw -r 31250 -c 1 -e floating-point -b 64 -L " +
                         testsupport::Quote(dir.file("in.f64")) + " -t raw -e signed -b 16 -L " +
                         testsupport::Quote(dir.file("out.raw")) + " " + effects);
    EXPECT_EQ(r.status, 0) << r.out;
    const auto raw = testsupport::ReadBytes(dir.file("out.raw"));
    std::vector<int16_t> out(raw.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return out;
}

int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

TEST(SoundPrep, TrimKeepsOneMillisecondBeforeTheAttackAndTheDecayAboveTheThreshold) {
    // 0.2 s of quiet noise at about −70 dBFS, a hit, then the same quiet again.
    std::vector<double> x(6250, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (static_cast<int>((i * 7919) % 17) - 8) * 0.12;
    const auto hit = Hit(15625, 20000.0);
    x.insert(x.end(), hit.begin(), hit.end());
    x.insert(x.end(), x.begin(), x.begin() + 6250);

    PrepOptions o;
    o.trimDb = kDefaultTrimDb;
    const auto ours = Prepare(x, o, true);
    // sox trims to the first and last sample above −60 dBFS; we keep 1 ms (31 frames) more before.
    const auto sox = Sox(x, "silence 1 0 -60d reverse silence 1 0 -60d reverse");
    ASSERT_GT(sox.size(), 1000u);
    const std::vector<int16_t> attack(ours.begin() + 31, ours.begin() + 31 + 200);
    const std::vector<int16_t> soxAttack(sox.begin(), sox.begin() + 200);
    EXPECT_LE(MaxDifference(attack, soxAttack), 1);
    // sox ends where a short window's RMS falls below the threshold, a little before the last
    // sample above it, which we keep: the two ends lie within the pre-roll of each other.
    EXPECT_NEAR(static_cast<double>(ours.size()), static_cast<double>(sox.size() + 31), 31.0);
    // The pre-roll is the quiet before the attack, untouched.
    for (size_t i = 0; i < 31; ++i)
        EXPECT_LE(std::abs(ours[i]), 1);
}

TEST(SoundPrep, FadesHaveTheRaisedCosineShapeOfSoxHalfSineFades) {
    std::vector<double> x(31250);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = 16000.0 * std::sin(2 * kPi * 97.0 * static_cast<double>(i) / kRate);
    PrepOptions o;
    o.fadeInMs = 20.0;
    o.fadeOutMs = 40.0;
    const auto ours = Prepare(x, o, true);
    const auto sox = Sox(x, "fade h 0.02 1 0.04");
    EXPECT_LE(MaxDifference(ours, sox), 1);
    EXPECT_EQ(ours.front(), 0);
}
#endif

TEST(SoundPrep, NormalizeMeetsTheLevelAndAKitKeepsItsLevelDifferences) {
    const auto loud = Hit(20000, 12000.7);
    const auto soft = Hit(20000, 3000.3, 440.0);
    PrepOptions o;
    o.normalizeDb = kDefaultNormalizeDb;
    const double target = LevelFromDb(kDefaultNormalizeDb);

    const auto alone = Prepare(soft, o, true);
    EXPECT_NEAR(PeakOf(alone), target, 1.0);
#if !defined(_WIN32)
    EXPECT_LE(MaxDifference(alone, Sox(soft, "norm -0.3")), 1);
#endif

    // One gain for the kit: the loudest at the level, the other as far below it as before.
    o.kit = true;
    const double kitPeak = std::max(SignalScanPeak(loud), SignalScanPeak(soft));
    const auto kitLoud = Prepare(loud, o, true, kitPeak);
    const auto kitSoft = Prepare(soft, o, true, kitPeak);
    EXPECT_NEAR(PeakOf(kitLoud), target, 1.0);
    const double before = DbFromLevel(SignalScanPeak(loud)) - DbFromLevel(SignalScanPeak(soft));
    const double after = DbFromLevel(PeakOf(kitLoud)) - DbFromLevel(PeakOf(kitSoft));
    EXPECT_NEAR(after, before, 0.05);

    // 0 dBFS stops at 32767, and nothing is counted as clipped.
    o.kit = false;
    o.normalizeDb = 0.0;
    int64_t clipped = -1;
    EXPECT_EQ(PeakOf(Prepare(loud, o, true, 0.0, &clipped)), 32767.0);
    EXPECT_EQ(clipped, 0);
}

TEST(SoundPrep, DitherLeavesNoHarmonicsOfAToneBelowOneStep) {
    // A −100 dBFS tone of a 24-bit source: a third of a 16-bit step.
    const double hz = 1000.0;
    std::vector<double> x(62500);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = LevelFromDb(-100.0) * std::sin(2 * kPi * hz * static_cast<double>(i) / kRate);

    std::vector<double> truncated(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        truncated[i] = std::floor(x[i]);
    // Truncation turns it into a square wave: its odd harmonics stand far above any noise.
    ASSERT_GT(PowerAt(truncated, 3 * hz), 100.0);

    PrepOptions o;
    o.dither = true;
    const auto out = Prepare(x, o, true);
    const std::vector<double> dithered(out.begin(), out.end());
    // The noise floor of TPDF dither is about 0.25 step² a bin; the tone itself stays audible.
    EXPECT_GT(PowerAt(dithered, hz), 300.0);
    for (double h : {2 * hz, 3 * hz, 5 * hz, 7 * hz})
        EXPECT_LT(PowerAt(dithered, h), 5.0) << h;
}

TEST(SoundPrep, SameSoundSameBytesAndNothingChangesWithTheStepsOff) {
    // Built from whole numbers, so the input is the same everywhere too.
    std::vector<double> x(40000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (static_cast<double>((i * 37) % 2001) - 1000.0) * 9.25 +
               static_cast<double>(i % 7) * 0.125;
    PrepOptions o;
    o.dither = true;
    o.fadeOutMs = 3.0;
    o.normalizeDb = -1.0;
    const auto a = Prepare(x, o, true);
    EXPECT_EQ(Prepare(x, o, true), a);
    // The same bytes on every platform: the generator and the rounding are the program's own.
    uint64_t h = 14695981039346656037ULL;
    for (int16_t v : a)
        h = (h ^ static_cast<uint16_t>(v)) * 1099511628211ULL;
    EXPECT_EQ(h, 9526507621980480886ULL);
    x[123] += 0.5; // another sound, other noise
    EXPECT_NE(Prepare(x, o, true), a);

    // A 16-bit signal with every step off, or trimmed only, keeps its samples exactly.
    std::vector<double> whole(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        whole[i] = std::round(x[i]);
    const auto same = Prepare(whole, PrepOptions(), false);
    ASSERT_EQ(same.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_EQ(same[i], whole[i]);
    PrepOptions dither;
    dither.dither = true;
    EXPECT_EQ(Prepare(whole, dither, false), same);
}

} // namespace
