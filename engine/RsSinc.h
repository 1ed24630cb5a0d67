// One channel of rate conversion by a band-limiting FIR kernel evaluated at fractional positions:
// a Kaiser-windowed sinc when the rate goes down or stays, a plain sinc when it goes up. The kernel
// is tabulated at set-up with 100 entries per input sample and read by linear interpolation.
#pragma once

#include <cstdint>
#include <vector>

// Filter length (always even) for a transition band from 0.48 to 0.5 of the lower rate at the given
// stop-band attenuation in dB (Kaiser's order formula). Saturates at the largest even int32.
int32_t SincLengthEstimate(double inRate, double outRate, double attenuation);

// Kaiser window parameter for an attenuation in dB.
double KaiserBeta(double attenuation);

// Modified Bessel function of the first kind, order zero: 1 + the first 100 terms of its series.
double BesselI0(double x);

class RsSinc {
  public:
    RsSinc() = default;
    virtual ~RsSinc() = default;
    RsSinc(const RsSinc&) = delete;
    RsSinc& operator=(const RsSinc&) = delete;

    // Designs the kernel for `length` (made odd) and clears history and phase.
    void Setup(double inRate, double outRate, int32_t length, double attenuation);

    // Converts `count` input values into `out`, which holds at least
    // trunc(count * outRate / inRate + 2) values; `produced` receives the number written.
    void Process(const double* in, int32_t count, double* out, int32_t* produced);

    // Process in three steps, so that the outputs of one call can be computed on several threads:
    // Prepare takes the input and finds where this call's outputs lie (returns their number),
    // Compute writes outputs [first, last) to out[first ... last) and may run concurrently for
    // disjoint ranges, Commit keeps the history and the phase for the next call.
    int32_t Prepare(const double* in, int32_t count);
    // Makes room for calls of up to `count` inputs, so that Prepare allocates nothing.
    void Reserve(int32_t count);
    void Compute(int32_t first, int32_t last, double* out) const;
    void Commit();

    double attenuation = 0.0;
    int32_t taps = 0;
    std::vector<double> history; // the last `taps` inputs, oldest first
    std::vector<double> kernel;  // 100 * taps entries; 0 ... 100 * (taps - 1) designed
    std::vector<double> slope;   // slope[i] = kernel[i + 1] - kernel[i]
    // The same tables regrouped by the 1/100 sample of the fraction: entry m * (taps - 1) + k
    // holds kernel (slope) entry 100 * k + m, so one output reads them in order.
    std::vector<double> kernelByPhase;
    std::vector<double> slopeByPhase;
    double step = 0.0; // input samples per output sample
    // Input position of the next output counted from the first input of the job, and the
    // inputs taken by earlier calls: positions advance exactly as in one long call, so a signal
    // fed in blocks of any size gives the same outputs as fed at once.
    double position = 0.0;
    int64_t consumed = 0;
    // The position of the next output relative to the next call's first input.
    double phase() const { return position - static_cast<double>(consumed); }

  private:
    std::vector<double> work_;        // history followed by the current call's input
    std::vector<double> newestFirst_; // the same, newest first
    int32_t count_ = 0;               // inputs of the prepared call
    // Per output of the prepared call: where its newest input lies in newestFirst_, the kernel
    // phase (0 ... 99) and the interpolation weight.
    std::vector<int64_t> outIndex_;
    std::vector<int32_t> outPhase_;
    std::vector<double> outWeight_;
};
