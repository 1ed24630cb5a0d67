// Blocks made on a thread of their own a few ahead of where they are used, in order: the
// reading of a file and the work on what was read take their time side by side.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace brelka {

class ReadAhead {
  public:
    static constexpr int64_t kSlots = 3; // blocks held at once: the one in use and those ahead

    // make(k, slot) makes block k of `blocks`, in order from 0, into the caller's slot `slot`
    // (k mod kSlots, or always 0 without a thread). It runs on the thread of its own, or in Take
    // where there is none (a single block, `threaded` false, or no thread to be had); it starts
    // with the construction.
    using Maker = std::function<void(int64_t k, size_t slot)>;
    ReadAhead(int64_t blocks, Maker make, bool threaded = true);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Gives the slot of block k, the one after the last taken and released, which holds it
    // until Release(k): it waits for the thread's block, or makes the block itself when the
    // thread has not begun it.
    size_t Take(int64_t k);
    void Release(int64_t k);
    // Ends the thread: the block it is making is finished, no other one is begun. Nothing is
    // taken after it.
    void Stop();

  private:
    static size_t SlotOf(int64_t k) { return static_cast<size_t>(k % kSlots); }
    void Run();
    void MakeBlock(int64_t k); // makes block k and says it is there
    int64_t blocks_;
    Maker make_;
    std::mutex lock_;
    std::condition_variable changed_;
    int64_t begun_ = 0;  // blocks begun, on either thread: one at a time, in order
    int64_t filled_ = 0; // blocks made
    int64_t done_ = 0;   // blocks released
    bool stop_ = false;
    std::thread thread_;
};

} // namespace brelka
