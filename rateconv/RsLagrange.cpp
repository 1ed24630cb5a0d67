#include "RsLagrange.h"

#include <cmath>

void RsLagrange::Setup(double inRate, double outRate) {
    step_ = inRate / outRate;
    for (auto& h : history_) h = 0;
    phase_ = 0.0;
}

void RsLagrange::Process(const int16_t* src, int32_t count, int16_t* dst, int32_t* produced) {
    if (count < 0) count = 0;
    const size_t n = static_cast<size_t>(count);
    work_.resize(n + 4);
    for (size_t i = 0; i < 4; ++i) work_[i] = history_[i];
    for (size_t i = 0; i < n; ++i) work_[i + 4] = src[i];

    // The kept phase may lie whole samples beyond the start of this call when the rate goes
    // down; start at that sample so that block boundaries leave no trace in the output.
    double position = phase_;
    double whole = std::floor(position);
    int32_t index = static_cast<int32_t>(whole);
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
            index = static_cast<int32_t>(whole);
            fraction = position - whole;
        } while (static_cast<double>(count) > position);
    }

    for (size_t i = 0; i < 4; ++i) history_[i] = work_[n + i];
    phase_ = position - static_cast<double>(count);
    *produced = j;
}
