// A millisecond tick counter that only moves forward.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start; wraps around after about 49.7 days like the
// system counter it stands for, so callers subtract ticks in unsigned arithmetic.
uint32_t TickCount();

} // namespace platform
