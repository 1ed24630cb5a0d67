#include "ReadAhead.h"

#include <system_error>
#include <utility>

namespace brelka {

ReadAhead::ReadAhead(int64_t blocks, Maker make, bool threaded)
    : blocks_(blocks), make_(std::move(make)) {
    if (blocks_ <= 1 || !threaded) return;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: Take makes each block.
    }
}

ReadAhead::~ReadAhead() {
    Stop();
}

void ReadAhead::Run() {
    for (;;) {
        int64_t k = 0;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [&] {
                return stop_ || begun_ == blocks_ || (begun_ == filled_ && begun_ - done_ < kSlots);
            });
            if (stop_ || begun_ == blocks_) return;
            k = begun_++;
        }
        MakeBlock(k);
    }
}

void ReadAhead::MakeBlock(int64_t k) {
    make_(k, SlotOf(k));
    {
        const std::lock_guard<std::mutex> hold(lock_);
        filled_ = k + 1;
    }
    changed_.notify_all();
}

size_t ReadAhead::Take(int64_t k) {
    if (!thread_.joinable()) {
        make_(k, 0); // one slot is enough
        return 0;
    }
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return filled_ > k || begun_ == k; });
    if (filled_ <= k) {
        // The thread has not begun it (it has no core, or it is late): this one makes it.
        begun_ = k + 1;
        hold.unlock();
        MakeBlock(k);
    }
    return SlotOf(k);
}

void ReadAhead::Release(int64_t k) {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        done_ = k + 1;
    }
    changed_.notify_all();
}

void ReadAhead::Stop() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

} // namespace brelka
