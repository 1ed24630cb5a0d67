// The built-in "Simple" rate converter: 4-point (cubic) Lagrange interpolation of one channel
// of 16-bit PCM, with no anti-alias filtering. History and phase carry over between calls, so
// a long signal converts block by block exactly as in one call.
#pragma once

#include <cstdint>
#include <vector>

class RsLagrange {
  public:
    RsLagrange() = default;
    virtual ~RsLagrange() = default;

    void Setup(double inRate, double outRate);

    // Converts count samples; the destination holds at least
    // trunc(count x outRate / inRate + 2) samples. *produced receives the output count.
    void Process(const int16_t* src, int32_t count, int16_t* dst, int32_t* produced);

    double Step() const { return step_; }

  private:
    int16_t history_[4] = {0, 0, 0, 0};
    double step_ = 1.0;
    // Input position of the next output, counted from the first sample of the stream, and
    // the samples consumed by earlier calls: positions advance exactly as in one long call.
    double position_ = 0.0;
    int64_t consumed_ = 0;
    std::vector<int16_t> work_;
};
