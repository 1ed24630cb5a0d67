#include "RsSinc.h"

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
    position = 0.0;
    consumed = 0;
}

void RsSinc::Process(const double* in, int32_t count, double* out, int32_t* produced) {
    const size_t t = static_cast<size_t>(taps);
    const size_t n = static_cast<size_t>(count);
    std::vector<double> work(t + n);
    for (size_t i = 0; i < t; ++i)
        work[i] = history[i];
    for (size_t i = 0; i < n; ++i)
        work[t + i] = in[i];
    const double* x = work.data() + t; // x[-1], x[-2], ... are the history

    const auto base = static_cast<double>(consumed);
    const double total = base + static_cast<double>(count);
    double whole = std::floor(position);
    auto index = static_cast<int64_t>(whole - base);
    double fraction = position - whole;
    int32_t j = 0;
    // A call that starts within its first input sample always produces one output (also with no
    // input at all); past that, outputs are produced only at positions before the end of the input,
    // so that feeding a signal in blocks gives the same outputs as feeding it at once.
    bool more = index == 0 || total > position;
    while (more) {
        const double tt = fraction * 100.0;
        const int32_t mm = static_cast<int32_t>(std::floor(tt));
        const double d = tt - mm;
        double sum = 0.0;
        for (int32_t k = 0; k + 1 < taps; ++k) {
            const size_t e = static_cast<size_t>(kEntriesPerSample * k + mm);
            sum += x[index - 2 - k] * (kernel[e] + d * slope[e]);
        }
        out[j] = sum;
        j = j + 1;
        position = position + step;
        whole = std::floor(position);
        index = static_cast<int64_t>(whole - base);
        fraction = position - whole;
        more = total > position;
    }

    for (size_t i = 0; i < t; ++i)
        history[i] = work[n + i];
    // Continuous phase: the next call starts where this one stopped.
    consumed += count;
    *produced = j;
}
