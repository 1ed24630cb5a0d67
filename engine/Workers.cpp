#include "Workers.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace qmx {

namespace {

// Calls follow each other closely while a file converts: a thread that has finished its part
// watches for the next one this long before it sleeps, as waking a sleeping thread costs about as
// much as a small part.
constexpr auto kSpin = std::chrono::microseconds(100);

// Spins until `ready` holds or the spin time is over; true if it held.
template <typename Ready> bool SpinUntil(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (int i = 0;; ++i) {
        if (ready()) return true;
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > until) return false;
    }
}

} // namespace

Workers::Workers(int threads) {
    if (threads <= 1) return;
    if (platform::PoolWork::Available()) {
        work_ = std::make_unique<platform::PoolWork>(HelpOnce, this);
        if (work_->ok()) {
            helpers_ = threads - 1;
            return;
        }
        work_.reset(); // no pool to be had: the calling thread does all the work
        return;
    }
    for (int i = 1; i < threads; ++i)
        pool_.emplace_back([this] { Loop(); });
    helpers_ = static_cast<int>(pool_.size());
}

Workers::~Workers() {
    if (work_) return; // nothing runs between two runs: nothing to wait for
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : pool_)
        t.join();
}

bool Workers::TakeAndRun(std::unique_lock<std::mutex>& lock) {
    if (task_ == nullptr || next_ >= count_) return false;
    const int i = next_++;
    void (*task)(void*, int) = task_;
    void* context = context_;
    lock.unlock();
    task(context, i);
    lock.lock();
    if (++finished_ == count_) {
        allDone_.store(true, std::memory_order_release);
        done_.notify_all();
    }
    return true;
}

void Workers::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t seen = run_;
    for (;;) {
        lock.unlock();
        SpinUntil([&] { return published_.load(std::memory_order_acquire) != seen; });
        lock.lock();
        wake_.wait(lock, [&] { return stop_ || run_ != seen; });
        if (stop_) return;
        seen = run_;
        while (TakeAndRun(lock)) {
        }
    }
}

void Workers::HelpOnce(void* self) {
    auto* workers = static_cast<Workers*>(self);
    std::unique_lock<std::mutex> lock(workers->mutex_);
    while (workers->TakeAndRun(lock)) {
    }
}

void Workers::Run(int count, void (*task)(void*, int), void* context) {
    if (count <= 0) return;
    if (helpers_ == 0 || count == 1) {
        for (int i = 0; i < count; ++i)
            task(context, i);
        return;
    }
    if (work_) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Begin(task, context, count);
        }
        for (int i = 0; i < std::min(helpers_, count - 1); ++i)
            work_->Submit();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (TakeAndRun(lock)) {
            }
        }
        // Every pool thread's part has returned, so none of them is in the engine's code between
        // two runs.
        work_->Wait();
        std::lock_guard<std::mutex> lock(mutex_);
        End();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    Begin(task, context, count);
    allDone_.store(false, std::memory_order_relaxed);
    ++run_;
    published_.store(run_, std::memory_order_release);
    wake_.notify_all();
    while (TakeAndRun(lock)) {
    }
    if (finished_ != count_) {
        lock.unlock();
        SpinUntil([&] { return allDone_.load(std::memory_order_acquire); });
        lock.lock();
        done_.wait(lock, [&] { return finished_ == count_; });
    }
    End();
}

void Workers::Begin(void (*task)(void*, int), void* context, int count) {
    task_ = task;
    context_ = context;
    next_ = 0;
    count_ = count;
    finished_ = 0;
}

void Workers::End() {
    task_ = nullptr;
    context_ = nullptr;
    count_ = 0;
}

int JobThreads() {
    if (const char* text = std::getenv("QMX_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1 && n <= 16) return static_cast<int>(n);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores == 0) return 1;
    return cores < 4 ? static_cast<int>(cores) : 4;
}

} // namespace qmx
