#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "RsLagrange.h"

namespace {

std::vector<int16_t> Convert(RsLagrange& c, const std::vector<int16_t>& in, double ratio) {
    std::vector<int16_t> out(static_cast<size_t>(static_cast<double>(in.size()) * ratio + 8));
    int32_t n = 0;
    c.Process(in.data(), static_cast<int32_t>(in.size()), out.data(), &n);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::vector<int16_t> Noise(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> d(-32768, 32767);
    std::vector<int16_t> v(n);
    for (auto& s : v)
        s = static_cast<int16_t>(d(gen));
    return v;
}

// Converts in uneven blocks (including empty and one-sample blocks) and joins the output.
std::vector<int16_t> ConvertInBlocks(double inRate, double outRate, const std::vector<int16_t>& in,
                                     unsigned seed) {
    RsLagrange c;
    c.Setup(inRate, outRate);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> size(0, 700);
    std::vector<int16_t> joined, out(2000);
    size_t at = 0;
    while (at < in.size()) {
        int pick = size(gen);
        if (pick > 650) pick = pick % 4; // plenty of tiny blocks
        size_t count = std::min(in.size() - at, static_cast<size_t>(pick));
        if (in.size() - at < 800) count = in.size() - at; // the stream ends on a real block
        int32_t n = 0;
        c.Process(in.data() + at, static_cast<int32_t>(count), out.data(), &n);
        joined.insert(joined.end(), out.begin(), out.begin() + n);
        at += count;
    }
    return joined;
}

} // namespace

TEST(RsLagrange, EqualRatesDelayByThreeSamples) {
    RsLagrange c;
    c.Setup(31250, 31250);
    std::vector<int16_t> in = Noise(4096, 1);
    auto out = Convert(c, in, 1.0);
    ASSERT_EQ(out.size(), 4096u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    for (size_t i = 3; i < out.size(); ++i)
        ASSERT_EQ(out[i], in[i - 3]) << i;
    // The next block continues exactly where this one ended.
    auto next = Convert(c, Noise(4096, 2), 1.0);
    EXPECT_EQ(next[0], in[4093]);
    EXPECT_EQ(next[2], in[4095]);
}

TEST(RsLagrange, OutputCountsFromAFreshSetup) {
    RsLagrange down;
    down.Setup(44100, 31250);
    EXPECT_EQ(Convert(down, Noise(4096, 3), 1.0).size(), 2903u);
    RsLagrange up;
    up.Setup(31250, 44100);
    EXPECT_EQ(Convert(up, Noise(4096, 3), 1.5).size(), 5781u);
}

TEST(RsLagrange, LimitsThenTruncatesTowardZero) {
    // Halfway between samples the weights are -1/16, 9/16, 9/16, -1/16.
    RsLagrange c;
    c.Setup(1, 2);
    const std::vector<int16_t> loud = {0, 32767, 32767, 0, 0, 0};
    auto out = Convert(c, loud, 2.0);
    // Output 9 stands at input 1.5, halfway between the two loud samples.
    EXPECT_EQ(out[9], 32767); // 36863 limited
    RsLagrange neg;
    neg.Setup(1, 2);
    auto low = Convert(neg, {0, -32768, -32768, 0, 0, 0}, 2.0);
    EXPECT_EQ(low[9], -32768);

    RsLagrange t1;
    t1.Setup(1, 2);
    auto a = Convert(t1, {0, 0, 0, 12, 0, 0, 0}, 2.0); // -12/16 = -0.75 -> 0
    EXPECT_EQ(a[9], 0);
    RsLagrange t2;
    t2.Setup(1, 2);
    auto b = Convert(t2, {0, 0, 0, 24, 0, 0, 0}, 2.0); // -1.5 -> -1
    EXPECT_EQ(b[9], -1);
}

TEST(RsLagrange, ShortCallsKeepTheHistoryTail) {
    RsLagrange c;
    c.Setup(31250, 31250);
    Convert(c, {1, 2, 3, 4, 5}, 1.0);
    auto out = Convert(c, {6, 7}, 1.0); // history now 4, 5, 6, 7
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[1], 4);
    auto more = Convert(c, {8}, 1.0);
    ASSERT_EQ(more.size(), 1u);
    EXPECT_EQ(more[0], 5);
}

// A long signal converted in uneven blocks gives the output of one call, also when the rate
// goes down by more than a sample per output.
TEST(RsLagrange, BlocksJoinWithoutTrace) {
    const std::vector<int16_t> in = Noise(40000, 7);
    for (double inRate : {44100.0, 48000.0, 96000.0, 22050.0, 200000.0}) {
        RsLagrange whole;
        whole.Setup(inRate, 31250);
        std::vector<int16_t> once = Convert(whole, in, 31250 / inRate);
        std::vector<int16_t> split = ConvertInBlocks(inRate, 31250, in, 11);
        ASSERT_EQ(split.size(), once.size()) << inRate;
        EXPECT_EQ(split, once) << inRate;
    }
}
