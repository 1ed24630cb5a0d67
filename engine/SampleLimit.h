// Conversion of a converted value to a 16-bit sample: truncation toward zero, then limiting to
// -32767 ... 32767 (-32768 is never produced).
#pragma once

#include <cstdint>

inline int16_t LimitSample(double v) {
    // Limiting before the truncation gives the same result and keeps huge values defined.
    if (v >= 32767.0) return 32767;
    if (v <= -32767.0) return -32767;
    return static_cast<int16_t>(v);
}
