// Pieces the import and the export job share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Jobs.h"

class CReSampler;

namespace brelka {

// Takes `count` frames (at most kJobBlock) of the job's channels into `block`.
using BlockReader = std::function<void(int32_t count, int16_t* block)>;
// Writes frames; false when the destination refused them.
using BlockSink = std::function<bool(const int16_t* frames, int32_t count)>;

struct PumpResult {
    JobStatus status = JobStatus::Done; // Done, ConvertError, WriteError or Cancelled
    int32_t convertCode = 0;            // ConvertError: the converter's code (qmx.h)
    bool aborted = false;
    int64_t framesIn = 0;
    int64_t framesOut = 0;
};

// The block loop every job runs: sets the converter up when quality is not 0 (a refused setting
// ends the job with ConvertError and the converter's code), takes the
// frames in blocks of kJobBlock (the last one shorter), converts or copies each block, hands it
// to the sink and reports the block; after the last block it feeds the converter silence until
// the last input frame has reached the output; then it reports closing and ends the converter.
// inRate is the source's rate as held, settingRate the same truncated to an integer (what the
// converter is set up with).
PumpResult PumpBlocks(CReSampler& resampler, int quality, double inRate, int32_t settingRate,
                      int32_t outRate, int channels, int64_t frames, const BlockReader& read,
                      const BlockSink& sink, const JobProgress& progress);

// The sum of two samples times 0.75, truncated toward zero, then clipped to 16 bits.
inline int16_t MixSamples(int16_t left, int16_t right) {
    // (left + right) * 0.75 is exact in a double and below 2^16 in size, so the conversion
    // truncates it toward zero exactly; only the limits remain.
    const auto v = static_cast<int32_t>((static_cast<double>(left) + right) * 0.75);
    return static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

// How many frames of a block the mix of their first two channels limits to 16 bits.
int64_t CountMixLimited(const int16_t* in, int32_t frames, int channels);

// Reduces a block of interleaved frames of `channels` channels to the channels a job writes:
// kChannelL or kChannelR alone (a mono source's one channel for either), kChannelMix their mix,
// kChannelKeep the first two as they are (one when the source is mono).
void PickChannels(const int16_t* in, int32_t frames, int channels, int choice, int16_t* out);

// A file name beside the destination for the job to write into before it replaces the
// destination.
std::string TemporaryNameFor(const std::string& path);

// Where an action puts a slot file aside while it rearranges the card (a swap, a clear): not
// a temporary name, since the file may for a moment be the only copy of its sound.
std::string AsideNameFor(const std::string& path);

// Copies a file's bytes; false (and no `to` left) when either side refused.
bool CopyFileBytes(const std::string& from, const std::string& to);

// Ends a job's output: on success the temporary file replaces the destination (Done, or
// Aborted when the user stopped the job), on failure or when cancelled it is removed. Returns
// the job's status.
JobStatus FinishOutput(JobStatus status, bool aborted, const std::string& temporary,
                       const std::string& destination);

// Moves the finished temporary file over the destination. False when that failed.
bool ReplaceWith(const std::string& temporary, const std::string& destination);
void RemoveQuietly(const std::string& path);

// A temporary output file, opened for writing: closed and removed on every way out unless it
// was closed, so an exception from the converter leaves no temporary file behind.
class TemporaryOutput {
  public:
    explicit TemporaryOutput(std::string path);
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;
    std::FILE* get() const { return file_; }
    // Closes the stream and leaves the file to FinishOutput; false when the close failed.
    bool Close();

  private:
    std::string path_;
    std::FILE* file_;
};

} // namespace brelka
