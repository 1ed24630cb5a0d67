// A source's mono signal as the preparing jobs read it: at the file's own precision for the
// first pass, and made ready by the options, 16 bits a sample, for the second.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "Jobs.h"
#include "ReadAhead.h"
#include "SoundPrep.h"

class AudioFile;

namespace brelka {

// The mono signal of a source in 16-bit steps, block by block from where the file stands: its
// left or right channel (a mono source's one channel for either), or the mix (L + R) × 0.75.
class MonoReader {
  public:
    MonoReader(AudioFile& file, int choice);

    // Read in two halves, for a caller that reads ahead on another thread: Fetch takes frames
    // from the file into a block (which allocates nothing once it has held that many), and the
    // rest make them mono on the way to their use.
    struct Block {
        int32_t count = 0;
        std::vector<int16_t> words;
        std::vector<double> fine;
    };
    void Reserve(int32_t count, Block& block) const;
    void Fetch(int32_t count, Block& block);
    // Adds the mono of a block to a scan, without storing it.
    void Scan(const Block& block, SignalScan& scan) const;
    // The same through the second pass: returns how many samples it wrote.
    size_t Prepare(const Block& block, PrepProcessor& processor, int16_t* out) const;

  private:
    // use(at) with at(i) the mono of frame i of the block.
    template <class Use> void Visit(const Block& block, const Use& use) const;
    AudioFile& file_;
    int choice_;
    int channels_;
    bool whole_; // every sample is a whole number of 16-bit steps: read as 16-bit words
};

// The one channel of a preparing job: a request to keep the channels takes their mix.
inline int MonoChoice(int channel) {
    return channel == kChannelKeep ? kChannelMix : channel;
}

// The first pass: the whole signal of the channel choice, from the first frame.
SignalScan ScanSource(AudioFile& file, int choice, const PrepOptions& prep);

// A source made ready by the options. Construction makes the first pass and leaves the file at
// the first frame kept; each Read gives the next kept frames as the 16-bit samples to convert.
// With `ahead`, the file is read and made ready a few blocks ahead on a thread of its own, which
// has the file to itself until Finish or the destruction.
class PreparedSource {
  public:
    // kitPeak: with prep.kit, the largest SourcePeak of the kit's files (0: this one alone).
    PreparedSource(AudioFile& file, int choice, const PrepOptions& prep, double kitPeak,
                   bool ahead);
    // The plan over the whole source: its kept frames run from plan().begin to plan().end.
    const PrepPlan& plan() const { return plan_; }
    int64_t frames() const { return plan_.end - plan_.begin; }
    // Past the kept frames (or after Finish), zeros.
    void Read(int32_t count, int16_t* mono);
    // Samples the gain or the rounding limited to 16 bits, in the blocks read whole.
    int64_t clipped() const { return clipped_; }
    // Ends the reading ahead: the file is the caller's again (and Read gives zeros).
    void Finish() { ahead_.reset(); }

  private:
    struct Made {
        MonoReader::Block frames;
        std::vector<int16_t> samples;
        int64_t clipped = 0; // the processor's count once this block was made
    };
    void Make(int64_t k, Made& made);
    PrepPlan plan_;
    PrepProcessor processor_;
    MonoReader mono_;
    int64_t step_;
    int64_t blocks_;
    std::array<Made, ReadAhead::kSlots> made_;
    int64_t next_ = 0;     // the block Read takes from
    bool holding_ = false; // next_ is taken, into made_[slot_]
    size_t slot_ = 0;
    size_t at_ = 0; // samples of it read
    int64_t clipped_ = 0;
    std::unique_ptr<ReadAhead> ahead_; // last: it ends before the rest goes
};

// Brings written 16-bit mono samples to a level after a conversion moved their peak: one more
// rounding, in place, of `samples` samples from `offset` of the stream (big-endian as in a slot,
// or little-endian as in a WAV file), with the sound's plan for its dither. Leaves the stream
// at its end; false when reading or writing failed.
bool CorrectLevel(std::FILE* f, int64_t offset, int64_t samples, bool littleEndian, double gain,
                  const PrepPlan& plan, int64_t& clipped);

} // namespace brelka
