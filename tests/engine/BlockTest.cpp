// The block converter and its block loop, driven through the engine's job object.
#include "QmxJob.h"
#include "SampleLimit.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using qmx::QmxJob;

struct Call {
    int32_t count;
    int32_t frames;
    int32_t fill;
};

void ExpectCalls(int32_t inRate, int32_t outRate, int32_t inLen, int32_t outLen, int32_t headroom,
                 const std::vector<Call>& calls) {
    QmxJob job;
    ASSERT_EQ(job.Setting(inRate, outRate, 0, 5), 0);
    ASSERT_EQ(job.Begin(), headroom);
    ASSERT_TRUE(job.block[0]);
    EXPECT_EQ(job.block[0]->inLen, inLen);
    EXPECT_EQ(job.block[0]->outLen, outLen);
    EXPECT_EQ(job.block[0]->bufLen, std::max(inLen, outLen));
    EXPECT_EQ(job.fill[0], inLen / 2);
    EXPECT_EQ(job.staging[0], std::vector<int16_t>(static_cast<size_t>(inLen), 0));
    EXPECT_FALSE(job.block[1]);
    const std::vector<int16_t> in = Noise(20000, 2, 10000);
    size_t at = 0;
    for (const Call& c : calls) {
        std::vector<int16_t> out(static_cast<size_t>(c.count) * 3 + static_cast<size_t>(headroom));
        EXPECT_EQ(job.Exec(in.data() + at, out.data(), c.count), c.frames);
        EXPECT_EQ(job.fill[0], c.fill);
        at += static_cast<size_t>(c.count);
    }
}

TEST(BlockLoop, UpToFortyFourKilohertz) {
    ExpectCalls(31250, 44100, 1250, 1764, 882,
                {{4096, 5292, 971}, {4096, 6174, 692}, {4096, 5292, 1038}});
}

TEST(BlockLoop, DownFromFortyFourKilohertz) {
    ExpectCalls(44100, 31250, 1764, 1250, 625,
                {{4096, 2500, 1450}, {4096, 3125, 1136}, {4096, 2500, 1704}});
}

TEST(BlockLoop, DownFromFortyEightKilohertz) {
    // Hop of 192 input frames for 125 output frames.
    ExpectCalls(48000, 31250, 384, 250, 125, {{191, 0, 383}, {1, 125, 192}, {192, 125, 192}});
}

TEST(BlockLoop, ShortAndEmptyCallsOnlyFillTheStagingBuffer) {
    QmxJob job;
    ASSERT_EQ(job.Setting(44100, 31250, 0, 5), 0);
    ASSERT_EQ(job.Begin(), 625);
    std::vector<int16_t> out(4, 123);
    const int16_t in[3] = {5, -6, 7};
    EXPECT_EQ(job.Exec(in, out.data(), 0), 0);
    EXPECT_EQ(job.fill[0], 882);
    EXPECT_EQ(job.Exec(in, out.data(), 3), 0);
    EXPECT_EQ(job.fill[0], 885);
    EXPECT_EQ(job.staging[0][882], 5);
    EXPECT_EQ(job.staging[0][884], 7);
    EXPECT_EQ(out, std::vector<int16_t>(4, 123));
}

TEST(BlockGcd, RepeatedSubtraction) {
    EXPECT_EQ(RsDCT::Gcd(44100, 31250), 50);
    EXPECT_EQ(RsDCT::Gcd(48000, 31250), 250);
    EXPECT_EQ(RsDCT::Gcd(31250, 31250), 31250);
    EXPECT_EQ(RsDCT::Gcd(44101, 31250), 1);
    EXPECT_EQ(RsDCT::Gcd(0, 31250), 0);
    EXPECT_EQ(RsDCT::Gcd(31250, 0), 0);
    EXPECT_EQ(RsDCT::Gcd(-5, 10), 0); // would never end
}

// Equal rates make blocks of two samples; the older one comes back after a DCT-II and a DCT-III
// of length 2. With the correctly rounded 1/sqrt(2) a smooth signal and every constant come back
// exactly; with 1.0 / std::sqrt(2.0), one unit in the last place lower, nearly every sample comes
// back a hair small and is truncated one step toward zero. Noise, whose neighbours differ widely,
// keeps a few such steps from the rounding inside the transforms.
std::vector<int16_t> EqualRate(const std::vector<int16_t>& in, bool lowR2) {
    QmxJob job;
    EXPECT_EQ(job.Setting(31250, 31250, 0, 5), 0);
    EXPECT_EQ(job.Begin(), 1);
    EXPECT_EQ(job.block[0]->inLen, 2);
    EXPECT_EQ(job.block[0]->outLen, 2);
    if (lowR2) job.block[0]->dct.r2 = 1.0 / std::sqrt(2.0);
    std::vector<int16_t> out(in.size() + 1);
    EXPECT_EQ(job.Exec(in.data(), out.data(), static_cast<int32_t>(in.size())),
              static_cast<int32_t>(in.size()));
    EXPECT_EQ(out[0], 0); // from the silent start
    out.erase(out.begin());
    out.pop_back();
    return out; // aligned with in[0 ... size - 2]
}

size_t CountSame(const std::vector<int16_t>& in, const std::vector<int16_t>& out) {
    size_t same = 0;
    for (size_t i = 0; i < out.size(); ++i)
        same += out[i] == in[i];
    return same;
}

TEST(BlockEqualRates, OutputIsTheInputOneFrameLate) {
    std::vector<int16_t> ramp;
    for (int v = -32767; v <= 32767; v += 3)
        ramp.push_back(static_cast<int16_t>(v));
    const std::vector<int16_t> sine = Sine(31250, 100.0, 31250.0, 30000.0);
    const std::vector<int16_t>* inputs[] = {&sine, &ramp};
    for (const auto* in : inputs) {
        EXPECT_EQ(CountSame(*in, EqualRate(*in, false)), in->size() - 1);
        EXPECT_LT(CountSame(*in, EqualRate(*in, true)), in->size() / 5);
    }
    for (int v : {1, -1, 32767, -32767, 12345}) {
        const std::vector<int16_t> c(100, static_cast<int16_t>(v));
        EXPECT_EQ(CountSame(c, EqualRate(c, false)), 99u) << v;
    }
    const std::vector<int16_t> noise = Noise(20000, 9);
    const std::vector<int16_t> out = EqualRate(noise, false);
    EXPECT_GT(CountSame(noise, out), out.size() * 95 / 100);
    for (size_t i = 0; i < out.size(); ++i) {
        const int step = noise[i] > 0 ? -1 : 1;
        ASSERT_TRUE(out[i] == noise[i] || out[i] == noise[i] + step) << i;
    }
}

TEST(BlockConstant, ComesBackFromTheSecondBlockOn) {
    for (int16_t v : {int16_t{1000}, int16_t{-1234}, int16_t{32767}}) {
        QmxJob job;
        ASSERT_EQ(job.Setting(44100, 31250, 0, 5), 0);
        ASSERT_EQ(job.Begin(), 625);
        const std::vector<int16_t> in(10000, v);
        std::vector<int16_t> out(10000);
        const int32_t n = job.Exec(in.data(), out.data(), 10000);
        ASSERT_GT(n, 1250);
        for (int32_t i = 625; i < n; ++i) {
            const int16_t o = out[static_cast<size_t>(i)];
            ASSERT_TRUE(o == v || o == (v > 0 ? v - 1 : v + 1)) << v << " at " << i << ": " << o;
        }
    }
}

TEST(BlockConstant, FullScaleNegativeIsLimited) {
    QmxJob job;
    ASSERT_EQ(job.Setting(31250, 44100, 0, 5), 0);
    ASSERT_GE(job.Begin(), 0);
    const std::vector<int16_t> in(6000, -32768);
    std::vector<int16_t> out(12000);
    const int32_t n = job.Exec(in.data(), out.data(), 6000);
    ASSERT_GT(n, 1764);
    for (int32_t i = 0; i < n; ++i)
        ASSERT_NE(out[static_cast<size_t>(i)], -32768) << i;
    EXPECT_EQ(out[static_cast<size_t>(n - 1)], -32767);
}

TEST(SampleConversion, TruncatesThenLimits) {
    EXPECT_EQ(LimitSample(1.9), 1);
    EXPECT_EQ(LimitSample(-1.9), -1);
    EXPECT_EQ(LimitSample(-0.5), 0);
    EXPECT_EQ(LimitSample(32766.99), 32766);
    EXPECT_EQ(LimitSample(32767.9), 32767);
    EXPECT_EQ(LimitSample(32768.0), 32767);
    EXPECT_EQ(LimitSample(40000.0), 32767);
    EXPECT_EQ(LimitSample(-32767.9), -32767);
    EXPECT_EQ(LimitSample(-32768.0), -32767);
    EXPECT_EQ(LimitSample(-40000.0), -32767);
    EXPECT_EQ(LimitSample(1e300), 32767);
    EXPECT_EQ(LimitSample(-1e300), -32767);
}

TEST(BlockStereo, ChannelsAreConvertedApartAndInterleaved) {
    const std::vector<int16_t> left = Sine(9000, 1000.0, 44100.0, 12000.0);
    const std::vector<int16_t> right(9000, 0);
    QmxJob mono;
    ASSERT_EQ(mono.Setting(44100, 31250, 0, 5), 0);
    ASSERT_EQ(mono.Begin(), 625);
    std::vector<int16_t> monoOut(9000);
    const int32_t m = mono.Exec(left.data(), monoOut.data(), 9000);

    QmxJob st;
    ASSERT_EQ(st.Setting(44100, 31250, 1, 5), 0);
    ASSERT_EQ(st.Begin(), 625);
    ASSERT_TRUE(st.block[1]);
    const std::vector<int16_t> both = Interleave(left, right);
    std::vector<int16_t> out(18000);
    ASSERT_EQ(st.Exec(both.data(), out.data(), 9000), m);
    EXPECT_EQ(st.fill[0], st.fill[1]);
    for (int32_t i = 0; i < m; ++i) {
        ASSERT_EQ(out[2 * static_cast<size_t>(i)], monoOut[static_cast<size_t>(i)]) << i;
        ASSERT_EQ(out[2 * static_cast<size_t>(i) + 1], 0) << i;
    }
}

// Coprime rates: blocks of 88202 and 62500 samples, whose odd parts 44101 (a prime) and 15625
// go through the FFT. A tone comes out as the same tone, in level and in phase.
TEST(BlockCoprime, ToneKeepsLevelAndPhase) {
    QmxJob job;
    ASSERT_EQ(job.Setting(44101, 31250, 0, 5), 0);
    ASSERT_EQ(job.Begin(), 31250);
    EXPECT_EQ(job.block[0]->inLen, 88202);
    EXPECT_EQ(job.block[0]->outLen, 62500);
    const double f = 440.0, amplitude = 20000.0;
    const std::vector<int16_t> in = Sine(4 * 44101, f, 44101.0, amplitude);
    std::vector<int16_t> out(4 * 31250);
    const int32_t n = job.Exec(in.data(), out.data(), static_cast<int32_t>(in.size()));
    ASSERT_EQ(n, 4 * 31250); // half a block of silence first, then four hops of input
    // The output lags by D frames: outLen / 4 + (outRate / inRate) / 2 here (62500 is a multiple
    // of 4: D = outLen / 4 - (1 - outRate / inRate) / 2).
    const double d = 62500.0 / 4 - (1.0 - 31250.0 / 44101.0) / 2;
    double worst = 0.0;
    for (int32_t j = 31250; j < n; ++j) {
        const double expected = amplitude * std::sin(2.0 * M_PI * f * (j - d) / 31250.0);
        worst = std::max(worst, std::fabs(out[static_cast<size_t>(j)] - expected));
    }
    EXPECT_LT(worst, 2.0); // rounding of input and output, and truncation
}

// The memory bound counted before a job starts against what the job holds once its first block
// has built every table and plan (the stereo path's two temporary arrays come and go per call).
TEST(BlockMemory, JobBytesIsWhatTheJobHolds) {
    struct Case {
        int32_t in, out;
        bool stereo;
    };
    const Case cases[] = {{44100, 31250, false}, {31250, 44100, true},  {48000, 31250, false},
                          {22050, 31250, true},  {31250, 31250, false}, {44101, 31250, false}};
    for (const Case& c : cases) {
        QmxJob job;
        ASSERT_EQ(job.Setting(c.in, c.out, c.stereo ? 1 : 0, 5), 0);
        ASSERT_GT(job.Begin(), 0);
        const int32_t inLen = job.block[0]->inLen;
        const size_t channels = c.stereo ? 2 : 1;
        const std::vector<int16_t> in(static_cast<size_t>(inLen) * channels, 1000);
        std::vector<int16_t> out(static_cast<size_t>(job.block[0]->outLen) * channels);
        ASSERT_GT(job.Exec(in.data(), out.data(), inLen), 0);
        uint64_t held = 0;
        for (size_t ch = 0; ch < channels; ++ch) {
            const RsDCT& b = *job.block[ch];
            for (const auto* tables : {&b.dct.cosTab, &b.dct.sinTab})
                for (const auto& [length, table] : *tables)
                    held += (length > 49 ? WADCT::kEntryBytes : 0) + table.size() * sizeof(double);
            for (const auto& kv : b.dct.oddTab)
                held += WADCT::kEntryBytes + kv.second->HeldBytes();
            held += (b.work.size() + b.spec.size()) * sizeof(double) +
                    job.staging[ch].size() * sizeof(int16_t);
        }
        const uint64_t temps =
            c.stereo ? static_cast<uint64_t>(job.block[0]->outLen) * sizeof(int16_t) : 0;
        EXPECT_EQ(qmx::JobBytes(c.in, c.out, c.stereo, true, 0), held + temps)
            << c.in << "->" << c.out;
    }
}

} // namespace
