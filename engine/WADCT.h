// Orthonormal DCT-II, DCT-III and DCT-IV of any length from 2 up, in double precision, with a cache
// of the cosine and sine tables each length needs, and of the FFT plans of long odd lengths.
#pragma once

#include "WAFFT.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class WADCT {
  public:
    WADCT();

    // Fast forms: even lengths are split in half down to length 2 (closed forms) or to an odd
    // length: direct sums below kFastOdd, an FFT of that length from it up (where a split of
    // twice an odd length feeds both its halves through one complex FFT). The source is used as
    // scratch and is undefined afterwards, except for odd lengths and length 2, which leave it
    // unchanged.
    void DCT2(double* x, double* X, int32_t n);
    void DCT3(double* X, double* x, int32_t n);
    void DCT4(double* x, double* X, int32_t n);

    // Direct summation; the source is left unchanged. Cost n * n multiply-adds.
    void DCT2Direct(const double* x, double* X, int32_t n);
    void DCT3Direct(const double* X, double* x, int32_t n);
    void DCT4Direct(const double* x, double* X, int32_t n);

    // Table of length n: 4n entries, entry i = cos(i * pi / (2n)) (or sin), a full period.
    // Built on first request; the reference stays valid while further lengths are added.
    const std::vector<double>& CosTable(int32_t n);
    const std::vector<double>& SinTable(int32_t n);
    void MakeCosTable(int32_t n);
    void MakeSinTable(int32_t n);

    // Odd lengths from this one up are transformed through an FFT.
    static constexpr int32_t kFastOdd = 5;

    // The FFT of an odd length n with what the transforms around it need, built once per length.
    struct OddPlan {
        explicit OddPlan(int32_t length);
        int32_t n;
        WAFFT fft;
        std::vector<double> twr, twi; // a/2 cos(pi k / 2n), a/2 sin(pi k / 2n), a = sqrt(2/n)
        std::vector<double> pre;      // 2 cos(pi (2j + 1) / 4n), which turns a DCT-IV into a DCT-II
        std::vector<double> re, im;   // the complex sequence being transformed
        // Bytes a plan of length n holds, without building it.
        static uint64_t Bytes(int64_t n);
        // Bytes this plan holds.
        uint64_t HeldBytes() const;
    };
    OddPlan& Plan(int32_t n);

    // Odd length n from kFastOdd up. Forward: X = DCT-II of x, or DCT-IV when dct4. Inverse:
    // x = DCT-III of X, or DCT-IV when dct4. A second pair of arrays, when not null, is
    // transformed alongside through the same complex FFT. Sources are left unchanged.
    void OddForward(int32_t n, const double* xa, double* Xa, bool dct4a, const double* xb,
                    double* Xb, bool dct4b);
    void OddInverse(int32_t n, const double* Xa, double* xa, bool dct4a, const double* Xb,
                    double* xb, bool dct4b);

    // Bytes that a DCT2 of length n2 and a DCT3 of length n3 on a new engine add to the tables
    // the engine builds at construction: tables and plans, each with kEntryBytes for its map
    // entry (the tree node with key and owner, and the allocator's bookkeeping).
    static uint64_t AddedBytes(int64_t n2, int64_t n3);
    static constexpr uint64_t kEntryBytes = 96;

    double r2; // 1 / sqrt(2), the correctly rounded value
    double c8; // cos(pi / 8)
    double s8; // sin(pi / 8)
    std::map<int32_t, std::vector<double>> cosTab;
    std::map<int32_t, std::vector<double>> sinTab;
    std::map<int32_t, std::unique_ptr<OddPlan>> oddTab;
};
