// A few threads that share the work of one conversion call with the thread that makes it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace qmx {

class Workers {
  public:
    // `threads` counts the calling thread: 1 starts none.
    explicit Workers(int threads);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    int threads() const { return static_cast<int>(pool_.size()) + 1; }

    // Runs task(0) ... task(count - 1), spread over the calling thread and the workers, and
    // returns when all have finished. Tasks must not throw. Nothing is allocated.
    template <typename Task> void Run(int count, Task& task) {
        Run(
            count, [](void* t, int i) { (*static_cast<Task*>(t))(i); },
            const_cast<void*>(static_cast<const void*>(&task)));
    }
    void Run(int count, void (*task)(void*, int), void* context);

  private:
    void Loop();
    bool TakeAndRun(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> pool_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    void (*task_)(void*, int) = nullptr;
    void* context_ = nullptr;
    int next_ = 0;     // next task to take
    int count_ = 0;    // tasks of the current run
    int finished_ = 0; // tasks of the current run that have finished
    uint64_t run_ = 0; // number of the current run, so a worker takes part in each run once
    // run_ and finished_ == count_ as seen without the lock, for the short waits that spin.
    std::atomic<uint64_t> published_{0};
    std::atomic<bool> allDone_{false};
    bool stop_ = false;
};

// Threads a job may use: QMX_THREADS when it holds a number from 1 to 16, otherwise the
// processor's cores, at most 4.
int JobThreads();

} // namespace qmx
