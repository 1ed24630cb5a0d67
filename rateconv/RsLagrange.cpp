#include "RsLagrange.h"

#include <cmath>

void RsLagrange::Setup(double inRate, double outRate) {
    step_ = inRate / outRate;
    for (auto& h : history_)
        h = 0;
    position_ = 0.0;
    consumed_ = 0;
}

void RsLagrange::Process(const int16_t* src, int32_t count, int16_t* dst, int32_t* produced) {
    if (count < 0) count = 0;
    const size_t n = static_cast<size_t>(count);
    work_.resize(n + 4);
    for (size_t i = 0; i < 4; ++i)
        work_[i] = history_[i];
    for (size_t i = 0; i < n; ++i)
        work_[i + 4] = src[i];

    // When the rate goes down the next output may lie whole samples beyond the start of this
    // call; it starts at that sample, so block boundaries leave no trace in the output.
    const auto base = static_cast<double>(consumed_);
    const double end = base + static_cast<double>(count);
    double position = position_;
    double whole = std::floor(position);
    auto index = static_cast<int32_t>(whole - base);
    double fraction = position - whole;
    int32_t j = 0;

    // An output at index i reads the four samples before input i, so it needs i <= count.
    if (index <= count) {
        do {
            const double u = 1.0 + fraction;
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                double term = static_cast<double>(work_[static_cast<size_t>(index + k)]);
                for (int l = 0; l < 4; ++l) {
                    if (l == k) continue;
                    term *= (u - l);
                    term /= static_cast<double>(k - l);
                }
                sum += term;
            }
            if (sum > 32767.0) sum = 32767.0;
            if (sum < -32768.0) sum = -32768.0;
            dst[j++] = static_cast<int16_t>(sum);
            position += step_;
            whole = std::floor(position);
            index = static_cast<int32_t>(whole - base);
            fraction = position - whole;
        } while (end > position);
    }

    for (size_t i = 0; i < 4; ++i)
        history_[i] = work_[n + i];
    position_ = position;
    consumed_ += count;
    *produced = j;
}
