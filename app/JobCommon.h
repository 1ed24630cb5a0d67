// Pieces the import and the export job share.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Jobs.h"

class CReSampler;

namespace brelka {

// Feeds the converter silence after the last input frame until that frame has reached the
// output, handing each piece of output to sink (which returns false on a write failure).
// framesFed: input frames given so far; written: output frames produced so far (updated).
// Returns Done, ConvertError (exec refused) or WriteError (the sink failed).
JobStatus FlushConverter(CReSampler& resampler, int quality, double inRate, double outRate,
                         int32_t headroom, int64_t framesFed, int64_t& written,
                         std::vector<int16_t>& outBuffer,
                         const std::function<bool(const int16_t*, int32_t)>& sink);

// The sum of two samples times 0.75, truncated toward zero, then clipped to 16 bits.
int16_t MixSamples(int16_t left, int16_t right);

// A file name beside the destination for the job to write into before it replaces the
// destination.
std::string TemporaryNameFor(const std::string& path);

// Moves the finished temporary file over the destination. False when that failed.
bool ReplaceWith(const std::string& temporary, const std::string& destination);
void RemoveQuietly(const std::string& path);

} // namespace brelka
