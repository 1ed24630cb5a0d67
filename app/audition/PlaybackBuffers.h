// The buffers an audition plays from: each holds the device's header and the memory it points
// to, set up once when it is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "WaveOut.h"

namespace brelka {

// One buffer of an audition. It belongs to its audition until it is freed after its last return.
class PlaybackBuffer {
  public:
    explicit PlaybackBuffer(size_t bytes);
    ~PlaybackBuffer();
    PlaybackBuffer(const PlaybackBuffer&) = delete;
    PlaybackBuffer& operator=(const PlaybackBuffer&) = delete;

    WaveHeader header;
    int16_t* samples() { return memory_.data(); }

    // Buffers in existence, over all auditions.
    static int Alive();

  private:
    std::vector<int16_t> memory_;
};

// The buffers of one audition. Each is freed exactly once: by release after its last
// return, or by clear.
class PlaybackBuffers {
  public:
    PlaybackBuffer* create(size_t bytes);
    PlaybackBuffer* find(const WaveHeader* header) const; // nullptr when not one of ours
    void release(PlaybackBuffer* buffer);
    // Gives the device back every buffer still prepared (after a reset, before they are freed).
    void unprepareAll(WaveOut& device);
    void clear();
    size_t size() const { return list_.size(); }

  private:
    std::vector<std::unique_ptr<PlaybackBuffer>> list_;
};

} // namespace brelka
