#include "RsLagrange.h"

#include "WideCode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void RsLagrange::Setup(double inRate, double outRate) {
    step_ = inRate / outRate;
    for (auto& h : history_)
        h = 0;
    position_ = 0.0;
    consumed_ = 0;
}

namespace {

// floor() of a non-negative position, exactly: truncation toward zero is the floor there, and a
// conversion is much cheaper than a call.
inline double FloorNonNegative(double v) {
    return static_cast<double>(static_cast<int64_t>(v));
}

inline int16_t ToSample(double sum) {
    if (sum > 32767.0) sum = 32767.0;
    if (sum < -32768.0) sum = -32768.0;
    return static_cast<int16_t>(sum);
}

// The cubic through w[0] ... w[3] at u = 1 + fraction. Each weight is built by multiplying by
// (u - l) and dividing by (k - l) for l = 0 ... 3, l != k, in that order; dividing by 1, -1, 2 or
// -2 is exact as the identity, a negation or a multiplication by a half, so only the divisions by
// 3 remain. The four terms are added in order.
inline double Cubic(const int16_t* w, double u) {
    const double u1 = u - 1.0;
    const double u2 = u - 2.0;
    const double u3 = u - 3.0;
    const double t0 = -(static_cast<double>(w[0]) * u1) * u2 * -0.5 * u3 / -3.0;
    const double t1 = -(static_cast<double>(w[1]) * u * u2) * u3 * -0.5;
    const double t2 = -(static_cast<double>(w[2]) * u * 0.5 * u1 * u3);
    const double t3 = static_cast<double>(w[3]) * u / 3.0 * u1 * 0.5 * u2;
    double sum = 0.0;
    sum += t0;
    sum += t1;
    sum += t2;
    sum += t3;
    return sum;
}

#if defined(WIDE_LANES)
using Lanes = WideLanes;
typedef int16_t Samples __attribute__((vector_size(8)));

WIDE_ALWAYS_INLINE void LoadFour(Lanes& v, const int16_t* p) {
    Samples s;
    std::memcpy(&s, p, sizeof s);
    v = __builtin_convertvector(s, Lanes);
}

// Outputs of known positions (`start` indexes the four samples of each, `u` its 1 + fraction),
// four at a time with one output per lane, each computed exactly as Cubic does.
WIDE_ALWAYS_INLINE void InterpolateBody(const int16_t* work, const int32_t* start, const double* u,
                                        int32_t count, int16_t* dst) {
    int32_t j = 0;
    for (; j + 4 <= count; j += 4) {
        Lanes w0;
        Lanes w1;
        Lanes w2;
        Lanes w3;
        LoadFour(w0, work + start[j]);
        LoadFour(w1, work + start[j + 1]);
        LoadFour(w2, work + start[j + 2]);
        LoadFour(w3, work + start[j + 3]);
        WideTranspose(w0, w1, w2, w3); // w0 now holds the first sample of each output, and so on
        Lanes uu;
        std::memcpy(&uu, u + j, sizeof uu);
        const Lanes u1 = uu - 1.0;
        const Lanes u2 = uu - 2.0;
        const Lanes u3 = uu - 3.0;
        const Lanes t0 = -(w0 * u1) * u2 * -0.5 * u3 / -3.0;
        const Lanes t1 = -(w1 * uu * u2) * u3 * -0.5;
        const Lanes t2 = -(w2 * uu * 0.5 * u1 * u3);
        const Lanes t3 = w3 * uu / 3.0 * u1 * 0.5 * u2;
        Lanes sum = {0.0, 0.0, 0.0, 0.0};
        sum += t0;
        sum += t1;
        sum += t2;
        sum += t3;
        double r[4];
        std::memcpy(r, &sum, sizeof r);
        for (int g = 0; g < 4; ++g)
            dst[j + g] = ToSample(r[g]);
    }
    for (; j < count; ++j)
        dst[j] = ToSample(Cubic(work + start[j], u[j]));
}

#else

WIDE_ALWAYS_INLINE void InterpolateBody(const int16_t* work, const int32_t* start, const double* u,
                                        int32_t count, int16_t* dst) {
    for (int32_t j = 0; j < count; ++j)
        dst[j] = ToSample(Cubic(work + start[j], u[j]));
}

#endif

void InterpolateBaseline(const int16_t* work, const int32_t* start, const double* u, int32_t count,
                         int16_t* dst) {
    InterpolateBody(work, start, u, count, dst);
}

#if defined(WIDE_COPY)
WIDE_TARGET void InterpolateWide(const int16_t* work, const int32_t* start, const double* u,
                                 int32_t count, int16_t* dst) {
    InterpolateBody(work, start, u, count, dst);
}
#endif

void Interpolate(const int16_t* work, const int32_t* start, const double* u, int32_t count,
                 int16_t* dst) {
#if defined(WIDE_COPY)
    if (WideRegisters()) {
        InterpolateWide(work, start, u, count, dst);
        return;
    }
#endif
    InterpolateBaseline(work, start, u, count, dst);
}

} // namespace

void RsLagrange::Process(const int16_t* src, int32_t count, int16_t* dst, int32_t* produced) {
    if (count < 0) count = 0;
    const size_t n = static_cast<size_t>(count);
    if (work_.size() < n + 4) work_.resize(n + 4);
    std::copy(history_, history_ + 4, work_.begin());
    std::copy(src, src + n, work_.begin() + 4);
    const int16_t* work = work_.data();

    // When the rate goes down the next output may lie whole samples beyond the start of this
    // call; it starts at that sample, so block boundaries leave no trace in the output.
    const auto base = static_cast<double>(consumed_);
    const double end = base + static_cast<double>(count);
    const double step = step_;
    double position = position_;
    double whole = FloorNonNegative(position);
    auto index = static_cast<int32_t>(whole - base);
    double fraction = position - whole;
    int32_t j = 0;

    // An output at index i reads the four samples before input i, so it needs i <= count. The
    // positions are found in runs, and each run's outputs computed together.
    constexpr int32_t kRun = 256;
    int32_t start[kRun];
    double u[kRun];
    if (index <= count) {
        bool more = true;
        while (more) {
            int32_t m = 0;
            while (more && m < kRun) {
                start[m] = index;
                u[m] = 1.0 + fraction;
                ++m;
                position += step;
                whole = FloorNonNegative(position);
                index = static_cast<int32_t>(whole - base);
                fraction = position - whole;
                more = end > position;
            }
            Interpolate(work, start, u, m, dst + j);
            j += m;
        }
    }

    std::copy(work + n, work + n + 4, history_);
    position_ = position;
    consumed_ += count;
    *produced = j;
}
