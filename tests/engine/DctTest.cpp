// The cosine transform engine: inverses, known values, fast against direct forms, table cache,
// the odd lengths through the FFT, and what the engine holds in memory.
#include "WADCT.h"

#include "Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using Transform = void (WADCT::*)(double*, double*, int32_t);

std::vector<double> Apply(WADCT& e, Transform t, std::vector<double> src) {
    std::vector<double> dst(src.size());
    (e.*t)(src.data(), dst.data(), static_cast<int32_t>(src.size()));
    return dst;
}

// Powers of two, odd lengths on both sides of the direct-sum limit, twice an odd length (whose
// halves share one FFT), and lengths whose odd part takes the chirp-z FFT (37, 1009).
const int32_t kLengths[] = {2,  3,  4,   5,   6,   7,   8,   9,    10,   12,  14,
                            15, 16, 18,  26,  30,  32,  37,  49,   50,   64,  74,
                            96, 98, 100, 128, 250, 384, 882, 1250, 1764, 2018};

TEST(Dct, ConstantsAndConstruction) {
    WADCT e;
    EXPECT_EQ(e.r2, 0.7071067811865476);
    EXPECT_EQ(e.c8, 0.9238795325112867);
    EXPECT_EQ(e.s8, 0.3826834323650898);
    ASSERT_EQ(e.cosTab.size(), 48u);
    ASSERT_EQ(e.sinTab.size(), 48u);
    size_t doubles = 0;
    int32_t expected = 2;
    for (const auto& [n, table] : e.cosTab) {
        EXPECT_EQ(n, expected++);
        EXPECT_EQ(table.size(), 4u * static_cast<size_t>(n));
        doubles += table.size() + e.sinTab.at(n).size();
    }
    EXPECT_EQ(doubles, 9792u);
    const std::vector<double>& c7 = e.cosTab.at(7);
    const std::vector<double>& s7 = e.sinTab.at(7);
    for (size_t i = 0; i < c7.size(); ++i) {
        const double angle = (static_cast<double>(i) * 3.141592653589793) / 14.0;
        EXPECT_EQ(c7[i], std::cos(angle));
        EXPECT_EQ(s7[i], std::sin(angle));
    }
}

TEST(Dct, RoundTrips) {
    WADCT e;
    for (int32_t n : kLengths) {
        const std::vector<double> x =
            RandomVector(static_cast<size_t>(n), static_cast<uint32_t>(n));
        const std::vector<double> back = Apply(e, &WADCT::DCT3, Apply(e, &WADCT::DCT2, x));
        const std::vector<double> twice = Apply(e, &WADCT::DCT4, Apply(e, &WADCT::DCT4, x));
        for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_NEAR(back[i], x[i], 1e-9) << "DCT3(DCT2) n=" << n << " i=" << i;
            ASSERT_NEAR(twice[i], x[i], 1e-9) << "DCT4(DCT4) n=" << n << " i=" << i;
        }
    }
}

TEST(Dct, FastFormsAgreeWithTheDefinitions) {
    WADCT e;
    for (int32_t n : kLengths) {
        const std::vector<double> x =
            RandomVector(static_cast<size_t>(n), 100u + static_cast<uint32_t>(n));
        const double a = std::sqrt(2.0 / n);
        std::vector<double> d2(x.size()), d3(x.size()), d4(x.size());
        e.DCT2Direct(x.data(), d2.data(), n);
        e.DCT3Direct(x.data(), d3.data(), n);
        e.DCT4Direct(x.data(), d4.data(), n);
        const std::vector<double> f2 = Apply(e, &WADCT::DCT2, x);
        const std::vector<double> f3 = Apply(e, &WADCT::DCT3, x);
        const std::vector<double> f4 = Apply(e, &WADCT::DCT4, x);
        for (int32_t k = 0; k < n; k += (n > 64 ? 17 : 1)) {
            long double s2 = 0, s3 = 0, s4 = 0;
            for (int32_t j = 0; j < n; ++j) {
                const long double pi = 3.141592653589793238462643383279L;
                s2 += x[j] * std::cos(pi * k * (2 * j + 1) / (2 * n));
                s3 += (j == 0 ? 1 / std::sqrt(2.0L) : 1.0L) * x[j] *
                      std::cos(pi * j * (2 * k + 1) / (2 * n));
                s4 += x[j] * std::cos(pi * (2 * k + 1) * (2 * j + 1) / (4 * n));
            }
            const double e2 = static_cast<double>(a * (k == 0 ? 1 / std::sqrt(2.0L) : 1.0L) * s2);
            const double e3 = static_cast<double>(a * s3);
            const double e4 = static_cast<double>(a * s4);
            const size_t i = static_cast<size_t>(k);
            EXPECT_NEAR(f2[i], e2, 1e-8) << n << " " << k;
            EXPECT_NEAR(d2[i], e2, 1e-8) << n << " " << k;
            EXPECT_NEAR(f3[i], e3, 1e-8) << n << " " << k;
            EXPECT_NEAR(d3[i], e3, 1e-8) << n << " " << k;
            EXPECT_NEAR(f4[i], e4, 1e-8) << n << " " << k;
            EXPECT_NEAR(d4[i], e4, 1e-8) << n << " " << k;
        }
    }
}

TEST(Dct, ConstantInputHasOnlyADcCoefficient) {
    WADCT e;
    for (int32_t n : {2, 5, 12, 98, 1250}) {
        const std::vector<double> X =
            Apply(e, &WADCT::DCT2, std::vector<double>(static_cast<size_t>(n), 300.0));
        EXPECT_NEAR(X[0], 300.0 * std::sqrt(n), 1e-9) << n;
        for (size_t k = 1; k < X.size(); ++k)
            ASSERT_NEAR(X[k], 0.0, 1e-9) << n << " " << k;
    }
}

TEST(Dct, LengthTwoClosedForm) {
    WADCT e;
    const size_t tables = e.cosTab.size() + e.sinTab.size();
    EXPECT_EQ(Apply(e, &WADCT::DCT4, {1.0, 0.0}),
              (std::vector<double>{0.9238795325112867, 0.3826834323650898}));
    EXPECT_EQ(Apply(e, &WADCT::DCT2, {3.0, 1.0}), (std::vector<double>{4.0 * e.r2, 2.0 * e.r2}));
    EXPECT_EQ(e.cosTab.size() + e.sinTab.size(), tables);
}

TEST(Dct, SourceKeptForOddAndTwoOverwrittenForLongerEven) {
    WADCT e;
    for (int32_t n : {2, 3, 7, 49, 51, 8, 12, 100}) {
        const std::vector<double> x = RandomVector(static_cast<size_t>(n), 5);
        for (Transform t : {&WADCT::DCT2, &WADCT::DCT3, &WADCT::DCT4}) {
            std::vector<double> src = x, dst(x.size());
            (e.*t)(src.data(), dst.data(), n);
            if (n == 2 || n % 2 != 0)
                EXPECT_EQ(src, x) << n;
            else
                EXPECT_NE(src, x) << n;
        }
    }
}

TEST(Dct, TableCacheBuildsEachLengthOnce) {
    WADCT e;
    const std::vector<double>& t = e.CosTable(1000);
    EXPECT_EQ(e.cosTab.size(), 49u);
    EXPECT_EQ(e.sinTab.size(), 48u);
    EXPECT_EQ(t.size(), 4000u);
    EXPECT_EQ(t[1], std::cos(3.141592653589793 / 2000.0));
    const double* data = t.data();
    e.CosTable(3001); // more entries do not move earlier tables
    EXPECT_EQ(&e.CosTable(1000), &t);
    EXPECT_EQ(e.CosTable(1000).data(), data);
    EXPECT_EQ(e.cosTab.size(), 50u);
    // An empty entry counts as not built.
    e.sinTab[60];
    EXPECT_EQ(e.SinTable(60).size(), 240u);
}

TEST(Dct, LongBlockBuildsTheTablesItNeeds) {
    WADCT e;
    std::vector<double> x = RandomVector(1764, 3), X(1764);
    e.DCT2(x.data(), X.data(), 1764);
    std::vector<int32_t> cosNew, sinNew, plans;
    for (const auto& kv : e.cosTab)
        if (kv.first > 49) cosNew.push_back(kv.first);
    for (const auto& kv : e.sinTab)
        if (kv.first > 49) sinNew.push_back(kv.first);
    for (const auto& kv : e.oddTab)
        plans.push_back(kv.first);
    // The halving steps of 1764 and 882 read the tables of twice their length; the odd length
    // 441 is a plan, not a table.
    EXPECT_EQ(cosNew, (std::vector<int32_t>{1764}));
    EXPECT_EQ(sinNew, (std::vector<int32_t>{1764}));
    EXPECT_EQ(plans, (std::vector<int32_t>{441}));
    const WADCT::OddPlan* plan = e.oddTab.at(441).get();
    e.DCT3(X.data(), x.data(), 1764);
    EXPECT_EQ(e.oddTab.size(), 1u);
    EXPECT_EQ(e.oddTab.at(441).get(), plan); // built once
}

// Above 23170 the table index of the DCT-IV direct sum no longer fits in 32 bits.
TEST(Dct, LongOddDirectSumIndexesInSixtyFourBits) {
    WADCT e;
    const int32_t n = 23173;
    std::vector<double> x(static_cast<size_t>(n), 0.0), X(static_cast<size_t>(n));
    const int32_t at = n - 2;
    x[static_cast<size_t>(at)] = 1.0;
    e.DCT4Direct(x.data(), X.data(), n);
    const long double pi = 3.141592653589793238462643383279L;
    for (int32_t k : {0, 1, 5000, n - 1}) {
        const long double expected =
            std::sqrt(2.0L / n) * std::cos(pi * (2.0L * k + 1) * (2.0L * at + 1) / (4.0L * n));
        EXPECT_NEAR(X[static_cast<size_t>(k)], static_cast<double>(expected), 1e-9) << k;
    }
}

// Odd lengths below the limit keep the direct sums exactly; from it up they use a plan.
TEST(Dct, DirectSumsBelowTheOddLimit) {
    WADCT e;
    for (int32_t n = 3; n < WADCT::kFastOdd; n += 2) {
        const std::vector<double> x = RandomVector(static_cast<size_t>(n), 11);
        std::vector<double> d(x.size());
        e.DCT2Direct(x.data(), d.data(), n);
        EXPECT_EQ(Apply(e, &WADCT::DCT2, x), d) << n;
        e.DCT3Direct(x.data(), d.data(), n);
        EXPECT_EQ(Apply(e, &WADCT::DCT3, x), d) << n;
        e.DCT4Direct(x.data(), d.data(), n);
        EXPECT_EQ(Apply(e, &WADCT::DCT4, x), d) << n;
    }
    EXPECT_TRUE(e.oddTab.empty());
    Apply(e, &WADCT::DCT4, RandomVector(WADCT::kFastOdd, 12));
    EXPECT_EQ(e.oddTab.size(), 1u);
    EXPECT_EQ(e.oddTab.begin()->first, WADCT::kFastOdd);
}

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

// Each odd-length form through the FFT, alone and in every pairing the halving steps use,
// against the direct sums. Inputs of +-1000 give coefficients of a few thousand.
TEST(Dct, FastOddFormsAgreeWithTheDirectSums) {
    WADCT e;
    for (int32_t n : {5, 7, 9, 11, 13, 25, 31, 37, 49, 97, 121, 441, 625, 1009, 1155}) {
        const auto un = static_cast<size_t>(n);
        const auto seed = static_cast<uint32_t>(n);
        const std::vector<double> x = RandomVector(un, seed), y = RandomVector(un, seed + 1);
        std::vector<double> d2x(un), d3x(un), d4x(un), d3y(un), d4y(un);
        e.DCT2Direct(x.data(), d2x.data(), n);
        e.DCT3Direct(x.data(), d3x.data(), n);
        e.DCT4Direct(x.data(), d4x.data(), n);
        e.DCT3Direct(y.data(), d3y.data(), n);
        e.DCT4Direct(y.data(), d4y.data(), n);
        const double tol = 1e-12 * 1000.0 * std::sqrt(static_cast<double>(n));
        EXPECT_LT(MaxDifference(Apply(e, &WADCT::DCT2, x), d2x), tol) << n;
        EXPECT_LT(MaxDifference(Apply(e, &WADCT::DCT3, x), d3x), tol) << n;
        EXPECT_LT(MaxDifference(Apply(e, &WADCT::DCT4, x), d4x), tol) << n;
        std::vector<double> a(un), b(un);
        e.OddForward(n, x.data(), a.data(), false, y.data(), b.data(), true); // DCT2 halving
        EXPECT_LT(MaxDifference(a, d2x), tol) << n;
        EXPECT_LT(MaxDifference(b, d4y), tol) << n;
        e.OddInverse(n, x.data(), a.data(), false, y.data(), b.data(), true); // DCT3 halving
        EXPECT_LT(MaxDifference(a, d3x), tol) << n;
        EXPECT_LT(MaxDifference(b, d4y), tol) << n;
        e.OddInverse(n, y.data(), a.data(), false, x.data(), b.data(), false); // DCT4 halving
        EXPECT_LT(MaxDifference(a, d3y), tol) << n;
        EXPECT_LT(MaxDifference(b, d3x), tol) << n;
        e.OddInverse(n, y.data(), a.data(), true, x.data(), b.data(), true);
        EXPECT_LT(MaxDifference(a, d4y), tol) << n;
        EXPECT_LT(MaxDifference(b, d4x), tol) << n;
    }
}

// A prime length as long as a block of 44101 Hz against 31250 Hz: the chirp-z FFT of length
// 89600, checked at a few coefficients against sums in long double, and by round trips.
TEST(Dct, LongPrimeLength) {
    WADCT e;
    const int32_t n = 44101;
    const auto un = static_cast<size_t>(n);
    const std::vector<double> x = RandomVector(un, 44);
    const std::vector<double> X2 = Apply(e, &WADCT::DCT2, x);
    const std::vector<double> X4 = Apply(e, &WADCT::DCT4, x);
    const std::vector<double> x3 = Apply(e, &WADCT::DCT3, x);
    EXPECT_TRUE(e.Plan(n).fft.IsChirp());
    EXPECT_EQ(e.Plan(n).fft.Length(), n);
    const long double pi = 3.141592653589793238462643383279L;
    const long double a = std::sqrt(2.0L / n);
    for (int32_t k : {0, 1, 2, 1000, 22050, 44099, 44100}) {
        long double s2 = 0, s3 = 0, s4 = 0;
        for (int32_t j = 0; j < n; ++j) {
            const long double xj = x[static_cast<size_t>(j)];
            // Angles reduced exactly before the cosine: products exceed 2^32.
            s2 += xj *
                  std::cos(pi *
                           static_cast<long double>((int64_t{k} * (2 * j + 1)) % (4 * int64_t{n})) /
                           (2.0L * n));
            s3 += (j == 0 ? 1.0L / std::sqrt(2.0L) : 1.0L) * xj *
                  std::cos(pi *
                           static_cast<long double>((int64_t{j} * (2 * k + 1)) % (4 * int64_t{n})) /
                           (2.0L * n));
            s4 += xj * std::cos(pi *
                                static_cast<long double>(((2 * int64_t{k} + 1) * (2 * j + 1)) %
                                                         (8 * int64_t{n})) /
                                (4.0L * n));
        }
        const auto i = static_cast<size_t>(k);
        EXPECT_NEAR(X2[i], static_cast<double>(a * (k == 0 ? 1 / std::sqrt(2.0L) : 1) * s2), 1e-8)
            << k;
        EXPECT_NEAR(x3[i], static_cast<double>(a * s3), 1e-8) << k;
        EXPECT_NEAR(X4[i], static_cast<double>(a * s4), 1e-8) << k;
    }
    EXPECT_LT(MaxDifference(Apply(e, &WADCT::DCT3, X2), x), 1e-8);
    EXPECT_LT(MaxDifference(Apply(e, &WADCT::DCT4, X4), x), 1e-8);
}

// What the transforms of a block pair add to a fresh engine, as counted in advance, against
// what the engine then holds.
TEST(Dct, AddedBytesCountWhatTheTransformsBuild) {
    const std::pair<int32_t, int32_t> pairs[] = {{1764, 1250}, {1250, 1764}, {384, 250},    {2, 2},
                                                 {96, 100},    {2018, 6},    {88202, 62500}};
    for (const auto& [n2, n3] : pairs) {
        WADCT e;
        const size_t n = static_cast<size_t>(std::max(n2, n3));
        std::vector<double> x = RandomVector(n, 7), X(n);
        e.DCT2(x.data(), X.data(), n2);
        e.DCT3(X.data(), x.data(), n3);
        uint64_t held = 0;
        for (const auto* tables : {&e.cosTab, &e.sinTab})
            for (const auto& [length, table] : *tables)
                if (length > 49) held += WADCT::kEntryBytes + table.size() * sizeof(double);
        for (const auto& [length, plan] : e.oddTab) {
            EXPECT_EQ(plan->HeldBytes(), WADCT::OddPlan::Bytes(length)) << length;
            held += WADCT::kEntryBytes + plan->HeldBytes();
        }
        EXPECT_EQ(WADCT::AddedBytes(n2, n3), held) << n2 << " " << n3;
    }
}

} // namespace
