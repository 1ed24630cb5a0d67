#include "Workers.h"

#include <cstdlib>

namespace qmx {

Workers::Workers(int threads) {
    for (int i = 1; i < threads; ++i)
        pool_.emplace_back([this] { Loop(); });
}

Workers::~Workers() {
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
    if (++finished_ == count_) done_.notify_all();
    return true;
}

void Workers::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t seen = run_;
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || run_ != seen; });
        if (stop_) return;
        seen = run_;
        while (TakeAndRun(lock)) {
        }
    }
}

void Workers::Run(int count, void (*task)(void*, int), void* context) {
    if (count <= 0) return;
    if (pool_.empty() || count == 1) {
        for (int i = 0; i < count; ++i)
            task(context, i);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    task_ = task;
    context_ = context;
    next_ = 0;
    count_ = count;
    finished_ = 0;
    ++run_;
    wake_.notify_all();
    while (TakeAndRun(lock)) {
    }
    done_.wait(lock, [&] { return finished_ == count_; });
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
