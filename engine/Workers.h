// A few threads that share the work of one conversion call with the thread that makes it. Where
// the system has a thread pool of its own (Windows), its threads do the work, so the engine never
// has a thread to stop when it is unloaded; elsewhere the engine starts its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ThreadPool.h"

namespace qmx {

class Workers {
  public:
    // `threads` counts the calling thread: 1 starts none.
    explicit Workers(int threads);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    int threads() const { return helpers_ + 1; }

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
    static void HelpOnce(void* self); // a pool thread's part of one run
    // Sets out, and clears, the task of one run; the caller holds mutex_.
    void Begin(void (*task)(void*, int), void* context, int count);
    void End();

    int helpers_ = 0; // threads beside the calling one
    std::unique_ptr<platform::PoolWork> work_;
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
