// The windowed-sinc FIR converter: filter length estimate, kernel design, history and phase.
#include "RsSinc.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

std::vector<double> Feed(RsSinc& s, const std::vector<double>& in) {
    std::vector<double> out(static_cast<size_t>(static_cast<double>(in.size()) / s.step + 2.0) + 1);
    int32_t n = -1;
    s.Process(in.data(), static_cast<int32_t>(in.size()), out.data(), &n);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::vector<double> ToDouble(const std::vector<int16_t>& v) {
    return {v.begin(), v.end()};
}

TEST(SincLength, EstimatesForTheDeviceRates) {
    EXPECT_EQ(SincLengthEstimate(44100, 31250, 60.0), 256);
    EXPECT_EQ(SincLengthEstimate(48000, 31250, 60.0), 280);
    EXPECT_EQ(SincLengthEstimate(96000, 31250, 60.0), 558);
    EXPECT_EQ(SincLengthEstimate(22050, 31250, 60.0), 182);
    EXPECT_EQ(SincLengthEstimate(31250, 44100, 60.0), 182);
    EXPECT_EQ(SincLengthEstimate(31250, 31250, 60.0), 182);
    for (int in : {8000, 11025, 16000, 32000, 44100, 88200, 192000})
        EXPECT_EQ(SincLengthEstimate(in, 31250, 60.0) % 2, 0) << in;
    // A ratio whose length does not fit in 32 bits saturates instead of overflowing.
    EXPECT_EQ(SincLengthEstimate(2147483647.0, 1.0, 60.0), 2147483646);
}

TEST(SincKernel, KaiserWindowValues) {
    const double beta = KaiserBeta(60.0);
    EXPECT_NEAR(beta, 5.65326, 1e-9);
    EXPECT_EQ(BesselI0(0.0), 1.0);
    EXPECT_NEAR(BesselI0(beta), 49.0485, 5e-4);
    EXPECT_NEAR(1.0 / BesselI0(beta), 0.020388, 5e-7); // the window's end values
    EXPECT_NEAR(KaiserBeta(30.0), 0.5842 * std::pow(9.0, 0.4) + 0.07886 * 9.0, 1e-15);
    EXPECT_EQ(KaiserBeta(20.0), 0.0);
}

TEST(SincKernel, TapsAndTableSizes) {
    RsSinc s;
    s.Setup(44100, 31250, 64, 60.0);
    EXPECT_EQ(s.taps, 65);
    EXPECT_EQ(s.kernel.size(), 6500u);
    EXPECT_EQ(s.slope.size(), 6500u);
    EXPECT_EQ(s.history, std::vector<double>(65, 0.0));
    // 6401 designed entries, M = 3200; window ends are small but nonzero, the rest is never read.
    EXPECT_NE(s.kernel[6400], 0.0);
    EXPECT_DOUBLE_EQ(s.kernel[0], s.kernel[6400]); // symmetric
    EXPECT_EQ(s.slope[6399], s.kernel[6400] - s.kernel[6399]);
    s.Setup(44100, 31250, 91, 60.0);
    EXPECT_EQ(s.taps, 91);
    EXPECT_EQ(s.kernel.size(), 9100u);
}

TEST(SincKernel, CentreDownwardIsTheCutoff) {
    RsSinc s;
    s.Setup(44100, 31250, 256, 60.0);
    EXPECT_NEAR(s.kernel[50 * 256], 25.0 / 36.0, 1e-12);
    EXPECT_EQ(s.step, 44100.0 / 31250.0);
}

TEST(SincKernel, UpwardIsPlainSinc) {
    RsSinc s;
    s.Setup(31250, 44100, 182, 60.0);
    const int m = 50 * (s.taps - 1);
    EXPECT_EQ(s.kernel[static_cast<size_t>(m)], 1.0);
    for (int k = 1; k <= 91; ++k) {
        EXPECT_NEAR(s.kernel[static_cast<size_t>(m + 100 * k)], 0.0, 1e-15) << k;
        EXPECT_NEAR(s.kernel[static_cast<size_t>(m - 100 * k)], 0.0, 1e-15) << k;
    }
    // Half a sample out: sin(pi / 2) / (pi / 2).
    EXPECT_NEAR(s.kernel[static_cast<size_t>(m + 50)], 2.0 / M_PI, 1e-15);
}

TEST(SincProcess, EqualRateImpulsePeaksAfterTheDelay) {
    RsSinc s;
    s.Setup(31250, 31250, 182, 60.0);
    std::vector<double> in(300, 0.0);
    in[0] = 1000.0;
    const std::vector<double> out = Feed(s, in);
    ASSERT_EQ(out.size(), 300u);
    const auto peak = std::max_element(out.begin(), out.end()) - out.begin();
    EXPECT_EQ(peak, 93);
    EXPECT_NEAR(out[93], 980.0, 1e-9);
    for (size_t i = 0; i < 93 - 91; ++i)
        EXPECT_EQ(out[i], 0.0) << i; // before the kernel's reach
}

TEST(SincProcess, ShortCallsKeepTheHistoryTail) {
    RsSinc s;
    s.Setup(31250, 31250, 64, 60.0); // 65 taps
    std::vector<double> first(100);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<double>(i + 1);
    Feed(s, first);
    Feed(s, {-1.0, -2.0, -3.0});
    std::vector<double> expected(first.end() - 62, first.end());
    expected.insert(expected.end(), {-1.0, -2.0, -3.0});
    EXPECT_EQ(s.history, expected);
}

TEST(SincProcess, EmptyCallGivesOneOutputFromTheHistory) {
    RsSinc s;
    s.Setup(31250, 44100, 182, 60.0);
    const std::vector<double> in = ToDouble(Noise(500, 1));
    Feed(s, in);
    const std::vector<double> before = s.history;
    const std::vector<double> out = Feed(s, {});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NE(out[0], 0.0);
    EXPECT_EQ(s.history, before);
}

// The phase carries over between calls as the position past the call's input, also when the rate
// goes down and the last position lies more than one input sample beyond the end; positions add
// up as in one call, so a signal fed in blocks gives exactly the outputs of one call.
void ExpectBlocksMatchOneCall(int inRate, int outRate, const std::vector<int>& sizes) {
    const std::vector<double> in = ToDouble(Noise(19999, 7));
    const int32_t length = SincLengthEstimate(inRate, outRate, 60.0);
    RsSinc whole;
    whole.Setup(inRate, outRate, length, 60.0);
    const std::vector<double> once = Feed(whole, in);

    RsSinc parts;
    parts.Setup(inRate, outRate, length, 60.0);
    std::vector<double> pieces;
    size_t at = 0;
    for (size_t c = 0; at < in.size(); ++c) {
        const size_t n = std::min(static_cast<size_t>(sizes[c % sizes.size()]), in.size() - at);
        const std::vector<double> out =
            Feed(parts, std::vector<double>(in.begin() + static_cast<long>(at),
                                            in.begin() + static_cast<long>(at + n)));
        pieces.insert(pieces.end(), out.begin(), out.end());
        at += n;
    }
    ASSERT_EQ(pieces.size(), once.size());
    for (size_t i = 0; i < once.size(); ++i)
        ASSERT_EQ(pieces[i], once[i]) << i;
}

TEST(SincProcess, BlocksMatchOneCallGoingDown) {
    ExpectBlocksMatchOneCall(44100, 31250, {4096});
    ExpectBlocksMatchOneCall(44100, 31250, {1, 2, 3, 700, 4095, 5, 1000});
    ExpectBlocksMatchOneCall(96000, 31250, {1, 2, 3, 4, 999, 4096});
}

TEST(SincProcess, BlocksMatchOneCallGoingUp) {
    ExpectBlocksMatchOneCall(31250, 44100, {4096});
    ExpectBlocksMatchOneCall(22050, 31250, {1, 2, 3, 700, 4095});
}

// The kernel table holds, to the last bit, the windowed sinc designed entry by entry with the
// full 100-term Bessel series, at the filter lengths of every quality the device rates use.
TEST(SincKernel, IsTheDesignedWindowedSincBitForBit) {
    struct Case {
        int in, out, length;
    };
    for (const Case c : {Case{44100, 31250, 256}, Case{96000, 31250, 558}, Case{48000, 31250, 70},
                         Case{31250, 31250, 182}}) {
        RsSinc s;
        s.Setup(c.in, c.out, c.length, 60.0);
        const int m = 50 * (s.taps - 1);
        const double pi = 3.141592653589793;
        const double f = c.in * 0.5;
        const double wc = (c.out * 0.48 / f * pi + c.out * 0.5 / f * pi) * 0.5;
        const double beta = KaiserBeta(60.0);
        for (int n = -m; n <= m; ++n) {
            const double r = static_cast<double>(n) / m;
            const double w = BesselI0(beta * std::sqrt(1.0 - r * r)) / BesselI0(beta);
            const double v = n == 0 ? w * wc / pi : w * std::sin(wc * n * 0.01) / (n * pi * 0.01);
            ASSERT_EQ(s.kernel[static_cast<size_t>(m + n)], v)
                << c.in << "->" << c.out << " n " << n;
        }
    }
}

// Every output, as a double, is exactly the sum the converter is defined by, taken term by term
// in order from the designed tables, whatever the call sizes, the rate pair or the filter length
// (lengths not a multiple of the four outputs computed together included).
TEST(SincProcess, OutputsAreTheDefiningSumsBitForBit) {
    struct Case {
        int in, out, length;
    };
    for (const Case c : {Case{44100, 31250, 256}, Case{31250, 44100, 91}, Case{96000, 31250, 139},
                         Case{32000, 31250, 64}, Case{88200, 31250, 17}}) {
        RsSinc s;
        s.Setup(c.in, c.out, c.length, 60.0);
        const std::vector<double> in = ToDouble(Noise(9001, 3));
        std::vector<double> got;
        size_t at = 0;
        const size_t sizes[] = {4096, 1, 0, 333, 2, 5000};
        for (size_t call = 0; at < in.size(); ++call) {
            const size_t n = std::min(sizes[call % 6], in.size() - at);
            const std::vector<double> out =
                Feed(s, std::vector<double>(in.begin() + static_cast<long>(at),
                                            in.begin() + static_cast<long>(at + n)));
            got.insert(got.end(), out.begin(), out.end());
            at += n;
        }
        // The plain sums over the whole signal behind `taps` zeros.
        std::vector<double> x(static_cast<size_t>(s.taps), 0.0);
        x.insert(x.end(), in.begin(), in.end());
        const double step = static_cast<double>(c.in) / c.out;
        double position = 0.0;
        size_t j = 0;
        for (; position < static_cast<double>(in.size()); position += step, ++j) {
            ASSERT_LT(j, got.size());
            const double whole = std::floor(position);
            const double t = (position - whole) * 100.0;
            const int m = static_cast<int>(std::floor(t));
            const double d = t - m;
            const size_t newest = static_cast<size_t>(whole) + static_cast<size_t>(s.taps) - 2;
            double sum = 0.0;
            for (int k = 0; k + 1 < s.taps; ++k) {
                const size_t e = static_cast<size_t>(100 * k + m);
                sum += x[newest - static_cast<size_t>(k)] * (s.kernel[e] + d * s.slope[e]);
            }
            ASSERT_EQ(got[j], sum) << c.in << "->" << c.out << " output " << j;
        }
        EXPECT_EQ(j, got.size());
    }
}

TEST(SincProcess, CallEndingBeforeTheNextPositionProducesNothing) {
    RsSinc s;
    s.Setup(96000, 31250, 558, 60.0);      // step 3.072
    Feed(s, std::vector<double>(10, 0.0)); // positions 0, 3.072, 6.144, 9.216; next 12.288
    EXPECT_NEAR(s.phase(), 2.288, 1e-12);
    EXPECT_TRUE(Feed(s, {1.0, 2.0}).empty());
    EXPECT_NEAR(s.phase(), 0.288, 1e-12);
    EXPECT_EQ(Feed(s, {3.0}).size(), 1u);
}

} // namespace
