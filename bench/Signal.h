// The benchmark's test signal: seeded noise plus tones, the same for every converter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// `frames` frames at `rate` Hz of `channels` interleaved channels: seeded uniform noise at about
// -12 dBFS plus four tones (220, 1000, 5000 and 12000 Hz, the right channel's a little detuned).
std::vector<int16_t> MakeSignal(int32_t rate, size_t frames, int channels, uint32_t seed);

// Writes a 16-bit PCM WAV file; false when it cannot be written whole.
bool WriteWav(const std::string& path, const std::vector<int16_t>& interleaved, int32_t rate,
              int channels);

} // namespace bench
