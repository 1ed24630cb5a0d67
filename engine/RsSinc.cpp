#include "RsSinc.h"

#include "WideCode.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
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

namespace {

// BesselI0(x) to the last bit, for many x: the factorials are built once, and the series stops
// where its terms can no longer change the sum. Past i > x each term is less than half the one
// before, so once a term is below 2^-60 of the sum, it and all after it are less than half a unit
// in the sum's last place, and adding them leaves the sum as it is.
class BesselSeries {
  public:
    BesselSeries() {
        double f = 1.0;
        for (int i = 1; i <= 100; ++i) {
            f = f * i;
            factorial_[i] = f;
        }
    }

    double operator()(double x) const {
        double sum = 0.0;
        for (int i = 1; i <= 100; ++i) {
            const double term = std::pow(x / 2.0, i) / factorial_[i];
            const double square = term * term;
            sum += square;
            if (i > x && square < sum * 0x1p-60) break;
        }
        return 1.0 + sum;
    }

  private:
    double factorial_[101] = {};
};

} // namespace

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
        // The window is even: W(-n) and W(n) are the same bits (n / M only changes sign), so
        // each is computed once.
        const BesselSeries i0;
        std::vector<double> window(static_cast<size_t>(m) + 1);
        for (int32_t n = 0; n <= m; ++n) {
            const double r = static_cast<double>(n) / static_cast<double>(m);
            window[static_cast<size_t>(n)] = i0(beta * std::sqrt(1.0 - r * r)) / i0Beta;
        }
        for (int32_t n = -m; n <= m; ++n) {
            const double w = window[static_cast<size_t>(n < 0 ? -n : n)];
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
// x[k] * (kernel[k] + d * slope[k]), x holding the input newest first.
WIDE_ALWAYS_INLINE double Dot(const double* x, const double* kern, const double* slp, double d,
                              size_t terms) {
    double sum = 0.0;
    for (size_t k = 0; k < terms; ++k)
        sum += x[k] * (kern[k] + d * slp[k]);
    return sum;
}

// The inputs of one batch of outputs.
struct Batch {
    const double* x;      // the call's input newest first, behind the history
    const double* kernel; // kernel by phase
    const double* slope;  // slope by phase
    size_t terms;         // taps - 1
    const int64_t* start; // per output: where its newest input lies in x
    const int32_t* phase; // per output: kernel phase
    const double* weight; // per output: interpolation weight
};

#if defined(WIDE_LANES)
using Lanes = WideLanes;

WIDE_ALWAYS_INLINE void Load(Lanes& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}

// Four outputs at once, one per lane. The terms of each output are formed four at a time along
// the kernel, then turned so that each lane adds its own output's terms, one after the other, in
// order.
WIDE_ALWAYS_INLINE void FourOutputs(const Batch& b, size_t j, double* out) {
    const double* x0 = b.x + b.start[j];
    const double* x1 = b.x + b.start[j + 1];
    const double* x2 = b.x + b.start[j + 2];
    const double* x3 = b.x + b.start[j + 3];
    const size_t at0 = static_cast<size_t>(b.phase[j]) * b.terms;
    const size_t at1 = static_cast<size_t>(b.phase[j + 1]) * b.terms;
    const size_t at2 = static_cast<size_t>(b.phase[j + 2]) * b.terms;
    const size_t at3 = static_cast<size_t>(b.phase[j + 3]) * b.terms;
    const double* k0 = b.kernel + at0;
    const double* k1 = b.kernel + at1;
    const double* k2 = b.kernel + at2;
    const double* k3 = b.kernel + at3;
    const double* s0 = b.slope + at0;
    const double* s1 = b.slope + at1;
    const double* s2 = b.slope + at2;
    const double* s3 = b.slope + at3;
    const double w0 = b.weight[j];
    const double w1 = b.weight[j + 1];
    const double w2 = b.weight[j + 2];
    const double w3 = b.weight[j + 3];
    const Lanes d0 = {w0, w0, w0, w0};
    const Lanes d1 = {w1, w1, w1, w1};
    const Lanes d2 = {w2, w2, w2, w2};
    const Lanes d3 = {w3, w3, w3, w3};
    Lanes sum = {0.0, 0.0, 0.0, 0.0};
    size_t k = 0;
    for (; k + 4 <= b.terms; k += 4) {
        Lanes xv;
        Lanes kv;
        Lanes sv;
        Load(xv, x0 + k);
        Load(kv, k0 + k);
        Load(sv, s0 + k);
        Lanes p0 = xv * (kv + d0 * sv);
        Load(xv, x1 + k);
        Load(kv, k1 + k);
        Load(sv, s1 + k);
        Lanes p1 = xv * (kv + d1 * sv);
        Load(xv, x2 + k);
        Load(kv, k2 + k);
        Load(sv, s2 + k);
        Lanes p2 = xv * (kv + d2 * sv);
        Load(xv, x3 + k);
        Load(kv, k3 + k);
        Load(sv, s3 + k);
        Lanes p3 = xv * (kv + d3 * sv);
        WideTranspose(p0, p1, p2, p3);
        sum += p0;
        sum += p1;
        sum += p2;
        sum += p3;
    }
    double r[4];
    std::memcpy(r, &sum, sizeof r);
    for (; k < b.terms; ++k) {
        r[0] += x0[k] * (k0[k] + w0 * s0[k]);
        r[1] += x1[k] * (k1[k] + w1 * s1[k]);
        r[2] += x2[k] * (k2[k] + w2 * s2[k]);
        r[3] += x3[k] * (k3[k] + w3 * s3[k]);
    }
    out[j] = r[0];
    out[j + 1] = r[1];
    out[j + 2] = r[2];
    out[j + 3] = r[3];
}

#else

// Four outputs at once, each with its own sum, so that the additions of one sum wait for each
// other while the other three proceed.
WIDE_ALWAYS_INLINE void FourOutputs(const Batch& b, size_t j, double* out) {
    const double* x[4];
    const double* kern[4];
    const double* slp[4];
    double d[4];
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    for (size_t g = 0; g < 4; ++g) {
        x[g] = b.x + b.start[j + g];
        kern[g] = b.kernel + static_cast<size_t>(b.phase[j + g]) * b.terms;
        slp[g] = b.slope + static_cast<size_t>(b.phase[j + g]) * b.terms;
        d[g] = b.weight[j + g];
    }
    for (size_t k = 0; k < b.terms; ++k)
        for (size_t g = 0; g < 4; ++g)
            sum[g] += x[g][k] * (kern[g][k] + d[g] * slp[g][k]);
    for (size_t g = 0; g < 4; ++g)
        out[j + g] = sum[g];
}

#endif

// Outputs [first, last).
WIDE_ALWAYS_INLINE void DotRangeBody(const Batch& b, size_t first, size_t last, double* out) {
    size_t j = first;
    for (; j + 4 <= last; j += 4)
        FourOutputs(b, j, out);
    for (; j < last; ++j) {
        const size_t ph = static_cast<size_t>(b.phase[j]) * b.terms;
        out[j] = Dot(b.x + b.start[j], b.kernel + ph, b.slope + ph, b.weight[j], b.terms);
    }
}

void DotRangeBaseline(const Batch& b, size_t first, size_t last, double* out) {
    DotRangeBody(b, first, last, out);
}

#if defined(WIDE_COPY)
WIDE_TARGET void DotRangeWide(const Batch& b, size_t first, size_t last, double* out) {
    DotRangeBody(b, first, last, out);
}
#endif

void DotRange(const Batch& b, size_t first, size_t last, double* out) {
#if defined(WIDE_COPY)
    if (WideRegisters()) {
        DotRangeWide(b, first, last, out);
        return;
    }
#endif
    DotRangeBaseline(b, first, last, out);
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
    if (newestFirst_.size() < t + n) newestFirst_.resize(t + n);
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
    // The outputs read their inputs newest first, so the sums run forward through memory.
    const size_t size = t + n;
    std::reverse_copy(work_.begin(), work_.begin() + static_cast<ptrdiff_t>(size),
                      newestFirst_.begin());
    const auto last = static_cast<int64_t>(size) - 1;
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
        outIndex_[j] = last - (index - 2 + static_cast<int64_t>(t));
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
    const Batch batch = {newestFirst_.data(), kernelByPhase.data(),
                         slopeByPhase.data(), static_cast<size_t>(taps) - 1,
                         outIndex_.data(),    outPhase_.data(),
                         outWeight_.data()};
    DotRange(batch, static_cast<size_t>(first), static_cast<size_t>(last), out);
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
