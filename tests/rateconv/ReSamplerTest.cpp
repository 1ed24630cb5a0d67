#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "DynamicLibrary.h"
#include "ReSampler.h"
#include "Reference.h"
#include "RsLagrange.h"
#include "TestSupport.h"

namespace {

std::vector<int16_t> Noise(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> d(-32768, 32767);
    std::vector<int16_t> v(n);
    for (auto& s : v)
        s = static_cast<int16_t>(d(gen));
    return v;
}

} // namespace

TEST(ReSampler, WithoutTheEngineSimpleStillWorks) {
    CReSampler rs("");
    EXPECT_FALSE(rs.available());
    EXPECT_EQ(rs.Begin(), QMX_NOT_CONFIGURED);
    EXPECT_EQ(rs.End(), QMX_NOT_CONFIGURED);
    EXPECT_EQ(rs.Setting(44100, 31250, false, kQualitySimple), 0);
    EXPECT_EQ(rs.End(), QMX_NOT_RUNNING);
    EXPECT_EQ(rs.Begin(), 4);
    EXPECT_EQ(rs.Begin(), QMX_ALREADY_RUNNING);
    std::vector<int16_t> in = Noise(4096, 1), out(4096);
    EXPECT_EQ(rs.Exec(in.data(), out.data(), 4096), 2903);
    EXPECT_EQ(rs.End(), 4);
    EXPECT_EQ(rs.End(), QMX_NOT_RUNNING);
    // Engine qualities are refused, not crashed, while the engine is absent.
    EXPECT_LT(rs.Setting(44100, 31250, false, kQualityHeavy), 0);
}

TEST(ReSampler, SimpleStereoConvertsEachChannelAlone) {
    CReSampler rs("");
    std::vector<int16_t> left = Noise(4096, 2), right = Noise(4096, 3), in(8192), out(2 * 2905);
    for (size_t i = 0; i < 4096; ++i) {
        in[2 * i] = left[i];
        in[2 * i + 1] = right[i];
    }
    rs.Setting(44100, 31250, true, kQualitySimple);
    ASSERT_EQ(rs.Begin(), 4);
    ASSERT_EQ(rs.Exec(in.data(), out.data(), 4096), 2903);

    for (int ch = 0; ch < 2; ++ch) {
        RsLagrange mono;
        mono.Setup(44100, 31250);
        std::vector<int16_t> expect(2905);
        int32_t n = 0;
        mono.Process(ch == 0 ? left.data() : right.data(), 4096, expect.data(), &n);
        ASSERT_EQ(n, 2903);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(out[2 * i + ch], expect[i]) << ch << " " << i;
    }
    rs.End();
}

TEST(ReSampler, NewSettingTakesEffectAtTheNextBegin) {
    CReSampler rs("");
    std::vector<int16_t> in = Noise(4096, 4), out(8192);
    rs.Setting(44100, 31250, false, kQualitySimple);
    rs.Begin();
    rs.Exec(in.data(), out.data(), 4096);
    rs.End();
    rs.Setting(31250, 44100, false, kQualitySimple);
    ASSERT_EQ(rs.Begin(), 4);
    EXPECT_EQ(rs.Exec(in.data(), out.data(), 4096), 5781); // a fresh converter
    rs.End();
}

TEST(ReSampler, PassesEngineCallsThroughToTheLibrary) {
    CReSampler rs(STANDIN_ENGINE);
    ASSERT_TRUE(rs.available());
    platform::DynamicLibrary lib; // the same library again, which the client holds
    ASSERT_TRUE(lib.Load(STANDIN_ENGINE));
    auto last = reinterpret_cast<void (*)(int32_t*)>(lib.Symbol("Standin_Last"));
    ASSERT_NE(last, nullptr);

    EXPECT_EQ(rs.Setting(48000, 31250, true, kQualityMedium), 0);
    int32_t v[5];
    last(v);
    EXPECT_EQ(v[0], 48000);
    EXPECT_EQ(v[1], 31250);
    EXPECT_EQ(v[2], 1);
    EXPECT_EQ(v[3], 3);
    EXPECT_EQ(rs.Begin(), 77);
    std::vector<int16_t> in = Noise(200, 5), out(200);
    EXPECT_EQ(rs.Exec(in.data(), out.data(), 100), 100);
    EXPECT_EQ(out, in);
    EXPECT_EQ(rs.End(), 5);
    // The client answers from its own state before it asks the engine.
    last(v);
    const int32_t calls = v[4];
    EXPECT_EQ(rs.End(), QMX_NOT_RUNNING);
    last(v);
    EXPECT_EQ(v[4], calls);
    // The engine's refusal passes through unchanged.
    EXPECT_EQ(rs.Setting(44100, 31250, false, 9), -1);
}

TEST(ReSampler, FindsTheEngineBesideTheExecutable) {
    const bool beside =
        testsupport::FileExists(testsupport::BinDir() + "/" + platform::EngineLibraryFileName());
    CReSampler rs;
    EXPECT_EQ(rs.available(), beside);
}

TEST(ReSampler, ConversionDelayOfEachQuality) {
    EXPECT_DOUBLE_EQ(ConversionDelay(kQualitySimple, 44100, 31250, 4), 3.0);
    EXPECT_DOUBLE_EQ(ConversionDelay(kQualityHeavy, 44100, 31250, 128), 130.0);
    // Quarter of an output block, in input frames.
    EXPECT_NEAR(ConversionDelay(kQualityUltraHeavy, 44100, 31250, 625) * 31250 / 44100, 312.85,
                0.01);
    EXPECT_NEAR(ConversionDelay(kQualityUltraHeavy, 31250, 44100, 882) * 44100 / 31250, 441.21,
                0.01);
}

// The built-in converter gives the samples of a plain, unoptimised one at every rate pair, fed in
// blocks of 4096 or in uneven calls, mono and stereo.
TEST(ReSampler, SimpleGivesThePlainConvertersSamples) {
    const int32_t pairs[][2] = {{44100, 31250}, {48000, 31250}, {96000, 31250}, {22050, 31250},
                                {32000, 31250}, {88200, 31250}, {31250, 44100}};
    const std::vector<int32_t> uneven = {1, 0, 7, 1000, 4095, 333, 2, 5000, 64};
    std::vector<int16_t> sine(20000);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] =
            static_cast<int16_t>(std::lround(32767.0 * std::sin(0.37 * static_cast<double>(i))));
    for (const auto& p : pairs)
        for (const std::vector<int32_t>& sizes : {std::vector<int32_t>{4096}, uneven})
            for (bool stereo : {false, true}) {
                // Full-scale noise overshoots between samples, so the limits are exercised too.
                const std::vector<int16_t> noise = Noise(stereo ? 40000 : 20000, 7);
                const std::vector<int16_t>& signal = stereo ? noise : sine;
                CReSampler rs("");
                ASSERT_EQ(rs.Setting(p[0], p[1], stereo, kQualitySimple), 0);
                ASSERT_EQ(rs.Begin(), 4);
                const int ch = stereo ? 2 : 1;
                std::vector<int16_t> got;
                size_t at = 0;
                for (size_t call = 0; at < signal.size() / ch; ++call) {
                    const auto n = std::min<size_t>(static_cast<size_t>(sizes[call % sizes.size()]),
                                                    signal.size() / ch - at);
                    std::vector<int16_t> out(static_cast<size_t>(ch) * (n * 2 + 4));
                    const int32_t made =
                        rs.Exec(signal.data() + at * ch, out.data(), static_cast<int32_t>(n));
                    ASSERT_GE(made, 0);
                    got.insert(got.end(), out.begin(), out.begin() + made * ch);
                    at += n;
                }
                rs.End();
                const std::vector<int16_t> want =
                    ref::Convert(p[0], p[1], stereo, 1, signal, sizes);
                ASSERT_EQ(got.size(), want.size()) << p[0] << "->" << p[1];
                for (size_t i = 0; i < got.size(); ++i)
                    ASSERT_EQ(got[i], want[i]) << p[0] << "->" << p[1] << " at " << i;
            }
}
