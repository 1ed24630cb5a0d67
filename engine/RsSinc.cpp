#include "RsSinc.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int32_t kEntriesPerSample = 100;

} // namespace

int32_t SincLengthEstimate(double inRate, double outRate, double attenuation) {
    double high;
    double low;
    double e;
    if (inRate >= outRate) {
        high = inRate;
        low = outRate;
        e = 1.0;
    } else {
        high = outRate;
        low = inRate;
        e = 1.0 / (inRate / outRate);
    }
    const double p = low * 0.48 * e;
    const double s = low * 0.5 * e;
    const double q = high * 0.5;
    const double w = (s - p) / q * kPi;
    const double n = (attenuation - 8.0) / (2.285 * w) + 1.0;
    // Extreme rate ratios give lengths beyond 32 bits; such jobs are refused later for their size.
    constexpr int32_t kLargestEven = std::numeric_limits<int32_t>::max() - 1;
    if (!(n < static_cast<double>(kLargestEven))) return kLargestEven;
    int32_t length = static_cast<int32_t>(n);
    if (length % 2 != 0) length += 1;
    return length;
}

double KaiserBeta(double a) {
    if (a > 50.0) return 0.1102 * (a - 8.7);
    if (a >= 21.0) return 0.5842 * std::pow(a - 21.0, 0.4) + 0.07886 * (a - 21.0);
    return 0.0;
}

double BesselI0(double x) {
    double sum = 0.0;
    double factorial = 1.0;
    for (int i = 1; i <= 100; ++i) {
        factorial = factorial * i;
        const double term = std::pow(x / 2.0, i) / factorial;
        sum += term * term;
    }
    return 1.0 + sum;
}

void RsSinc::Setup(double inRate, double outRate, int32_t length, double attenuationDb) {
    step = inRate / outRate;
    taps = length | 1;
    attenuation = attenuationDb;

    const size_t tableSize = static_cast<size_t>(kEntriesPerSample) * static_cast<size_t>(taps);
    history.assign(static_cast<size_t>(taps), 0.0);
    kernel.assign(tableSize, 0.0); // entries past the designed range stay 0 and are never read
    slope.assign(tableSize, 0.0);

    // Entry M + n holds the kernel n / 100 input samples from its centre, n = -M ... M.
    const int32_t m = 50 * (taps - 1);
    if (step >= 1.0) {
        const double f = inRate * 0.5;
        const double p = outRate * 0.48;
        const double s = outRate * 0.5;
        const double wp = p / f * kPi;
        const double ws = s / f * kPi;
        const double wc = (wp + ws) * 0.5;
        const double beta = KaiserBeta(attenuation);
        const double i0Beta = BesselI0(beta);
        for (int32_t n = -m; n <= m; ++n) {
            const double r = static_cast<double>(n) / static_cast<double>(m);
            const double w = BesselI0(beta * std::sqrt(1.0 - r * r)) / i0Beta;
            double v;
            if (n != 0)
                v = w * std::sin(wc * n * 0.01) / (n * kPi * 0.01);
            else
                v = w * wc / kPi;
            kernel[static_cast<size_t>(m + n)] = v;
        }
    } else {
        for (int32_t n = -m; n <= m; ++n) {
            double v = 1.0;
            if (n != 0) {
                const double x = n * kPi / 100.0;
                v = std::sin(x) / x;
            }
            kernel[static_cast<size_t>(m + n)] = v;
        }
    }
    const size_t designedEnd = 2 * static_cast<size_t>(m); // last designed entry
    for (size_t i = 0; i < designedEnd; ++i)
        slope[i] = kernel[i + 1] - kernel[i];
    const size_t terms = static_cast<size_t>(taps) - 1;
    kernelByPhase.assign(static_cast<size_t>(kEntriesPerSample) * terms, 0.0);
    slopeByPhase.assign(static_cast<size_t>(kEntriesPerSample) * terms, 0.0);
    for (size_t ph = 0; ph < static_cast<size_t>(kEntriesPerSample); ++ph)
        for (size_t k = 0; k < terms; ++k) {
            kernelByPhase[ph * terms + k] = kernel[kEntriesPerSample * k + ph];
            slopeByPhase[ph * terms + k] = slope[kEntriesPerSample * k + ph];
        }
    position = 0.0;
    consumed = 0;
}

namespace {

// floor() of a non-negative position, exactly (truncation is the floor there).
inline double FloorNonNegative(double v) {
    return static_cast<double>(static_cast<int64_t>(v));
}

// One output: the sum over k = 0 ... terms - 1, in that order, of
// x[-k] * (kernel[k] + d * slope[k]).
inline double Dot(const double* x, const double* kern, const double* slp, double d, size_t terms) {
    double sum = 0.0;
    for (size_t k = 0; k < terms; ++k)
        sum += x[-static_cast<ptrdiff_t>(k)] * (kern[k] + d * slp[k]);
    return sum;
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32) && defined(__OPTIMIZE__)
// The same arithmetic with wider registers where the processor has them; the results are the
// same bits on every processor (no fused operations, each sum in its own order).
#define QMX_WIDER_WHERE_AVAILABLE __attribute__((target_clones("avx2", "default")))
#else
#define QMX_WIDER_WHERE_AVAILABLE
#endif

// Outputs [first, last): four at a time, each with its own sum, so that the additions of one sum
// wait for each other while the other three proceed.
QMX_WIDER_WHERE_AVAILABLE
void DotRange(const double* x, const double* kernByPhase, const double* slopeByPhase, size_t terms,
              const int64_t* index, const int32_t* phase, const double* weight, size_t first,
              size_t last, double* out) {
    size_t j = first;
    for (; j + 4 <= last; j += 4) {
        const double* x0 = x + index[j];
        const double* x1 = x + index[j + 1];
        const double* x2 = x + index[j + 2];
        const double* x3 = x + index[j + 3];
        const double* k0 = kernByPhase + static_cast<size_t>(phase[j]) * terms;
        const double* k1 = kernByPhase + static_cast<size_t>(phase[j + 1]) * terms;
        const double* k2 = kernByPhase + static_cast<size_t>(phase[j + 2]) * terms;
        const double* k3 = kernByPhase + static_cast<size_t>(phase[j + 3]) * terms;
        const double* s0 = slopeByPhase + static_cast<size_t>(phase[j]) * terms;
        const double* s1 = slopeByPhase + static_cast<size_t>(phase[j + 1]) * terms;
        const double* s2 = slopeByPhase + static_cast<size_t>(phase[j + 2]) * terms;
        const double* s3 = slopeByPhase + static_cast<size_t>(phase[j + 3]) * terms;
        const double d0 = weight[j];
        const double d1 = weight[j + 1];
        const double d2 = weight[j + 2];
        const double d3 = weight[j + 3];
        double sum0 = 0.0;
        double sum1 = 0.0;
        double sum2 = 0.0;
        double sum3 = 0.0;
        for (size_t k = 0; k < terms; ++k) {
            const auto back = -static_cast<ptrdiff_t>(k);
            sum0 += x0[back] * (k0[k] + d0 * s0[k]);
            sum1 += x1[back] * (k1[k] + d1 * s1[k]);
            sum2 += x2[back] * (k2[k] + d2 * s2[k]);
            sum3 += x3[back] * (k3[k] + d3 * s3[k]);
        }
        out[j] = sum0;
        out[j + 1] = sum1;
        out[j + 2] = sum2;
        out[j + 3] = sum3;
    }
    for (; j < last; ++j) {
        const size_t ph = static_cast<size_t>(phase[j]) * terms;
        out[j] = Dot(x + index[j], kernByPhase + ph, slopeByPhase + ph, weight[j], terms);
    }
}

} // namespace

void RsSinc::Process(const double* in, int32_t count, double* out, int32_t* produced) {
    const int32_t n = Prepare(in, count);
    Compute(0, n, out);
    Commit();
    *produced = n;
}

void RsSinc::Reserve(int32_t count) {
    const size_t n = static_cast<size_t>(count);
    const size_t t = static_cast<size_t>(taps);
    if (work_.size() < t + n) work_.resize(t + n);
    const size_t bound = static_cast<size_t>(static_cast<double>(count) / step + 3.0);
    if (outIndex_.size() < bound) {
        outIndex_.resize(bound);
        outPhase_.resize(bound);
        outWeight_.resize(bound);
    }
}

int32_t RsSinc::Prepare(const double* in, int32_t count) {
    Reserve(count);
    const size_t t = static_cast<size_t>(taps);
    const size_t n = static_cast<size_t>(count);
    std::copy(history.begin(), history.end(), work_.begin());
    std::copy(in, in + n, work_.begin() + static_cast<ptrdiff_t>(t));
    count_ = count;

    const auto base = static_cast<double>(consumed);
    const double total = base + static_cast<double>(count);
    double pos = position;
    double whole = FloorNonNegative(pos);
    auto index = static_cast<int64_t>(whole - base);
    double fraction = pos - whole;
    size_t j = 0;
    // A call that starts within its first input sample always produces one output (also with no
    // input at all); past that, outputs are produced only at positions before the end of the input,
    // so that feeding a signal in blocks gives the same outputs as feeding it at once.
    bool more = index == 0 || total > pos;
    while (more) {
        const double tt = fraction * 100.0;
        const auto mm = static_cast<int32_t>(tt); // floor: tt is not negative
        outIndex_[j] = index - 2 + static_cast<int64_t>(t);
        outPhase_[j] = mm;
        outWeight_[j] = tt - mm;
        ++j;
        pos = pos + step;
        whole = FloorNonNegative(pos);
        index = static_cast<int64_t>(whole - base);
        fraction = pos - whole;
        more = total > pos;
    }
    position = pos;
    return static_cast<int32_t>(j);
}

void RsSinc::Compute(int32_t first, int32_t last, double* out) const {
    if (first >= last) return;
    DotRange(work_.data(), kernelByPhase.data(), slopeByPhase.data(), static_cast<size_t>(taps) - 1,
             outIndex_.data(), outPhase_.data(), outWeight_.data(), static_cast<size_t>(first),
             static_cast<size_t>(last), out);
}

void RsSinc::Commit() {
    const size_t t = static_cast<size_t>(taps);
    const size_t n = static_cast<size_t>(count_);
    std::copy(work_.begin() + static_cast<ptrdiff_t>(n),
              work_.begin() + static_cast<ptrdiff_t>(n + t), history.begin());
    // Continuous phase: the next call starts where this one stopped.
    consumed += count_;
    count_ = 0;
}
