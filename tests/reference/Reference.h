// Plain reference converters for the engine, written independently of the engine's code, used to
// check the library's output sample for sample.
#pragma once

#include <cstdint>
#include <vector>

namespace ref {

int32_t LengthEstimate(double inRate, double outRate, double attenuation);

// Converts `signal` (interleaved when stereo) at quality 1 (the cubic Lagrange converter of the
// client) to 5, fed in calls of the given sizes in frames (cycled until the signal is used up), as
// one engine job would; returns all output.
std::vector<int16_t> Convert(int32_t inRate, int32_t outRate, bool stereo, int quality,
                             const std::vector<int16_t>& signal,
                             const std::vector<int32_t>& callSizes);

} // namespace ref
