#include "RsLagrange.h"

#include <algorithm>
#include <cmath>

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

    // An output at index i reads the four samples before input i, so it needs i <= count.
    if (index <= count) {
        do {
            // The cubic through four samples at 1 + fraction: each weight is built by
            // multiplying by (u - l) and dividing by (k - l) for l = 0 ... 3, l != k, in that
            // order. Dividing by 1, -1, 2 or -2 is exact as the identity, a negation or a
            // multiplication by a half, so only the divisions by 3 remain.
            const int16_t* w = work + index;
            const double u = 1.0 + fraction;
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
            if (sum > 32767.0) sum = 32767.0;
            if (sum < -32768.0) sum = -32768.0;
            dst[j++] = static_cast<int16_t>(sum);
            position += step;
            whole = FloorNonNegative(position);
            index = static_cast<int32_t>(whole - base);
            fraction = position - whole;
        } while (end > position);
    }

    std::copy(work + n, work + n + 4, history_);
    position_ = position;
    consumed_ += count;
    *produced = j;
}
