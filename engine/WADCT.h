// Orthonormal DCT-II, DCT-III and DCT-IV of any length from 2 up, in double precision, with a cache
// of the cosine and sine tables each length needs.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

class WADCT {
  public:
    WADCT();

    // Fast forms: even lengths are split in half down to length 2 (closed forms) or to an odd
    // length (direct sums). The source is used as scratch and is undefined afterwards, except for
    // odd lengths and length 2, which leave it unchanged.
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

    double r2; // 1 / sqrt(2), the correctly rounded value
    double c8; // cos(pi / 8)
    double s8; // sin(pi / 8)
    std::map<int32_t, std::vector<double>> cosTab;
    std::map<int32_t, std::vector<double>> sinTab;
};
