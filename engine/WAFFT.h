// Complex discrete Fourier transform of any length in double precision, on split real and
// imaginary arrays: X[k] = sum over j of x[j] * exp(-2 pi i j k / n), unscaled.
//
// A length whose prime factors are all small runs as a mixed-radix autosort FFT (butterflies of
// 2, 3, 4, 5 and 7 written out, other small primes through a general odd butterfly). A length
// with a larger prime factor runs as a chirp-z convolution, at the smallest length of at least
// 2n - 1 with no prime factor above 7. Everything a transform needs (twiddles, chirp and its
// spectrum, scratch) is built with the plan; a transform allocates nothing.
//
// Twiddles come from UnitRoot, which uses integer reduction and series in plain double
// arithmetic, so a plan holds the same values on every machine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class WAFFT {
  public:
    explicit WAFFT(int64_t n);
    ~WAFFT();
    WAFFT(const WAFFT&) = delete;
    WAFFT& operator=(const WAFFT&) = delete;

    // Transforms n values in place. Forward(im, re) computes n times the inverse transform.
    void Forward(double* re, double* im);

    int64_t Length() const { return n_; }
    bool IsChirp() const { return chirp_ != nullptr; }
    // Bytes this plan holds: its arrays, and the inner plan of a chirp-z form.
    uint64_t Bytes() const;

    // Bytes a plan of length n would hold, without building it (equal to Bytes() of that plan).
    static uint64_t PlanBytes(int64_t n);
    // Largest prime factor the mixed-radix form takes; above it the chirp-z form is used.
    static constexpr int64_t kLargestRadix = 31;
    // The convolution length of the chirp-z form of length n.
    static int64_t ChirpLength(int64_t n);
    // cos and sin of 2 pi k / period for any integer k and period > 0.
    static void UnitRoot(int64_t k, int64_t period, double* c, double* s);

  private:
    struct Stage {
        int32_t radix;
        int64_t stride;   // independent sequences interleaved (product of earlier radices)
        int64_t span;     // outputs of one butterfly group: length / (stride * radix)
        size_t twiddle;   // offset of this stage's (radix - 1) * span twiddles
        size_t rootTable; // offset of the roots of unity of a general odd radix
    };
    struct Chirp;

    void Transform(double* re, double* im);
    void RunStage(const Stage& st, const double* xr, const double* xi, double* yr, double* yi);

    // Radices of the mixed-radix form in the order the stages run; empty when some prime factor
    // is above kLargestRadix.
    static std::vector<int32_t> Radices(int64_t n);
    static uint64_t MixedBytes(int64_t n, const std::vector<int32_t>& radices);

    int64_t n_;
    std::vector<Stage> stages_;
    std::vector<double> twr_, twi_;     // stage twiddles
    std::vector<double> rootr_, rooti_; // roots of unity of the general odd radices
    std::vector<double> scrr_, scri_;   // scratch of n values
    std::vector<double> generalTmp_;    // the general odd butterfly's working values
    std::unique_ptr<Chirp> chirp_;
};
