#include "ThreadPool.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace platform {

#if defined(_WIN32)

namespace {
void CALLBACK RunWork(PTP_CALLBACK_INSTANCE, PVOID self, PTP_WORK) {
    auto* work = static_cast<PoolWork*>(self);
    work->Call();
}
} // namespace

bool PoolWork::Available() {
    return true;
}

PoolWork::PoolWork(void (*callback)(void*), void* context)
    : callback_(callback), context_(context) {
    work_ = CreateThreadpoolWork(RunWork, this, nullptr);
}

PoolWork::~PoolWork() {
    if (work_) CloseThreadpoolWork(static_cast<PTP_WORK>(work_));
}

void PoolWork::Submit() {
    if (work_) SubmitThreadpoolWork(static_cast<PTP_WORK>(work_));
}

void PoolWork::Wait() {
    if (work_) WaitForThreadpoolWorkCallbacks(static_cast<PTP_WORK>(work_), FALSE);
}

#else

bool PoolWork::Available() {
    return false;
}

PoolWork::PoolWork(void (*callback)(void*), void* context)
    : callback_(callback), context_(context) {}

PoolWork::~PoolWork() {} // nothing was created

void PoolWork::Submit() {}

void PoolWork::Wait() {}

#endif

void PoolWork::Call() {
    callback_(context_);
}

} // namespace platform
