// The complex FFT: against the definition, its inverse, its memory, its padded lengths and its
// roots of unity.
#include "WAFFT.h"

#include "Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// Largest difference of the transform from the definition, at every step-th coefficient.
double DftError(WAFFT& f, const std::vector<double>& re, const std::vector<double>& im,
                int64_t step) {
    const int64_t n = f.Length();
    std::vector<double> r = re, i = im;
    f.Forward(r.data(), i.data());
    double worst = 0.0;
    const long double pi = 3.141592653589793238462643383279L;
    for (int64_t k = 0; k < n; k += step) {
        long double sr = 0, si = 0;
        for (int64_t j = 0; j < n; ++j) {
            const long double angle = -2 * pi * static_cast<long double>(j * k % n) / n;
            const long double c = std::cos(angle), s = std::sin(angle);
            sr += re[static_cast<size_t>(j)] * c - im[static_cast<size_t>(j)] * s;
            si += re[static_cast<size_t>(j)] * s + im[static_cast<size_t>(j)] * c;
        }
        const auto u = static_cast<size_t>(k);
        worst = std::max({worst, static_cast<double>(std::fabs(sr - r[u])),
                          static_cast<double>(std::fabs(si - i[u]))});
    }
    return worst;
}

// Lengths for each butterfly, the general odd one (11, 13, 31), mixed products, and lengths with
// a prime factor above 31 (chirp-z), against the definition in long double.
TEST(Fft, MatchesTheDefinition) {
    const int64_t lengths[] = {1,   2,   3,   4,   5,    7,    8,    9,    11,   12,
                               13,  16,  25,  31,  37,   49,   60,   74,   97,   121,
                               210, 286, 441, 625, 1024, 1009, 2310, 3600, 9240, 44101};
    for (int64_t n : lengths) {
        const std::vector<double> re = RandomVector(static_cast<size_t>(n), 31),
                                  im = RandomVector(static_cast<size_t>(n), 32);
        WAFFT f(n);
        EXPECT_EQ(f.IsChirp(), n == 37 || n == 74 || n == 97 || n == 1009 || n == 44101) << n;
        // Values of +-1000: the transform grows like sqrt(n), the error like its logarithm too.
        const double tol = 1e-15 * 1000.0 * std::sqrt(static_cast<double>(n)) *
                           std::log2(2.0 * static_cast<double>(n));
        const int64_t step = n > 500 ? n / 13 : 1;
        EXPECT_LT(DftError(f, re, im, step), tol) << n;
    }
}

TEST(Fft, ExchangingPartsRunsTheInverse) {
    for (int64_t n : {6, 441, 1009}) {
        const std::vector<double> re = RandomVector(static_cast<size_t>(n), 41),
                                  im = RandomVector(static_cast<size_t>(n), 42);
        WAFFT f(n);
        std::vector<double> r = re, i = im;
        f.Forward(r.data(), i.data());
        f.Forward(i.data(), r.data());
        for (size_t k = 0; k < re.size(); ++k) {
            ASSERT_NEAR(r[k] / static_cast<double>(n), re[k], 1e-10) << n << " " << k;
            ASSERT_NEAR(i[k] / static_cast<double>(n), im[k], 1e-10) << n << " " << k;
        }
    }
}

TEST(Fft, PlanBytesAreWhatAPlanHolds) {
    for (int64_t n : {1, 2, 7, 11, 37, 441, 625, 1009, 9240, 44101}) {
        WAFFT f(n);
        EXPECT_EQ(f.Bytes(), WAFFT::PlanBytes(n)) << n;
    }
}

TEST(Fft, ChirpLengthIsTheSmallestSmoothOneFromTwiceTheLength) {
    auto smooth = [](int64_t m) {
        for (int64_t p : {2, 3, 5, 7})
            while (m % p == 0)
                m /= p;
        return m == 1;
    };
    for (int64_t n = 1; n < 3000; ++n) {
        int64_t m = 2 * n - 1;
        while (!smooth(m))
            ++m;
        ASSERT_EQ(WAFFT::ChirpLength(n), m) << n;
    }
    EXPECT_EQ(WAFFT::ChirpLength(44101), 89600);
    EXPECT_EQ(WAFFT::ChirpLength(1073741789), 2147483648); // 2^31
}

// Roots of unity: exact at quarter turns, symmetric, and within a unit or so of the last place.
TEST(Fft, UnitRoots) {
    double c = 0.0, s = 0.0;
    for (int64_t period : {4, 8, 1764, 4000000}) {
        const int64_t q = period / 4;
        const double expected[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        for (int64_t k = 0; k < 4; ++k) {
            WAFFT::UnitRoot(k * q, period, &c, &s);
            EXPECT_EQ(c, expected[k][0]) << period << " " << k;
            EXPECT_EQ(s, expected[k][1]) << period << " " << k;
        }
    }
    WAFFT::UnitRoot(1, 8, &c, &s);
    EXPECT_NEAR(c, s, 1.2e-16);
    WAFFT::UnitRoot(-3, 7, &c, &s); // negative turns and whole turns
    double c2 = 0.0, s2 = 0.0;
    WAFFT::UnitRoot(4 + 14, 7, &c2, &s2);
    EXPECT_EQ(c, c2);
    EXPECT_EQ(s, s2);
    const long double pi = 3.141592653589793238462643383279L;
    for (int64_t period : {3, 5, 7, 441, 2500, 89600, 8 * 44101}) {
        for (int64_t k = 0; k < period; k += std::max<int64_t>(1, period / 997)) {
            WAFFT::UnitRoot(k, period, &c, &s);
            const long double angle = 2 * pi * static_cast<long double>(k) / period;
            ASSERT_NEAR(c, static_cast<double>(std::cos(angle)), 2.3e-16) << k << "/" << period;
            ASSERT_NEAR(s, static_cast<double>(std::sin(angle)), 2.3e-16) << k << "/" << period;
        }
    }
}

} // namespace
