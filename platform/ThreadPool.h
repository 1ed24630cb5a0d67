// Work for the threads of the system's own pool (Windows). Those threads belong to the system,
// not to the library that hands them work: a library unloaded between two pieces of work has no
// thread of its own to stop, which it could not wait for while the system unloads it.
#pragma once

namespace platform {

class PoolWork {
  public:
    // True where the system has such a pool; elsewhere a PoolWork does nothing.
    static bool Available();

    // Each Submit makes one call of callback(context) on a pool thread.
    PoolWork(void (*callback)(void*), void* context);
    // Releases the work without waiting (nothing may be running then).
    ~PoolWork();
    PoolWork(const PoolWork&) = delete;
    PoolWork& operator=(const PoolWork&) = delete;

    // False when the system refused to create the work.
    bool ok() const { return work_ != nullptr; }
    void Submit();
    // Returns when every call submitted so far has returned.
    void Wait();

    // The call that the pool's thread makes.
    void Call();

  private:
    void* work_ = nullptr;
    void (*callback_)(void*);
    void* context_;
};

} // namespace platform
