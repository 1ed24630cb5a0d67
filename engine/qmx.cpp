// The four exported functions and the process's one job. The job is created when the library is
// loaded and freed, with whatever converters and staging buffers it still holds, when it is
// unloaded (also without QMX_End). On Windows that runs under the system's loader lock, where the
// engine has no thread of its own to wait for: its helpers are the system pool's threads there.
// Elsewhere its own helper threads are stopped and joined when the job is freed.
#include "qmx.h"

#include "LibraryLifetime.h"
#include "QmxJob.h"

namespace {

qmx::QmxJob* theJob = nullptr;

qmx::QmxJob& Job() {
    if (theJob == nullptr) theJob = new qmx::QmxJob; // a caller that came before the notification
    return *theJob;
}

template <typename F> int32_t Guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        return QMX_NO_MEMORY; // nothing but allocations can throw here
    }
}

} // namespace

namespace platform {

void LibraryLoaded() {
    Job();
}

void LibraryUnloading(bool processEnding) {
    if (processEnding) return; // the system takes back the memory of the whole process
    delete theJob;
    theJob = nullptr;
}

} // namespace platform

extern "C" {

QMX_API int32_t QMX_CALL QMX_Setting(int32_t inRate, int32_t outRate, uint8_t stereo,
                                     uint8_t quality) {
    return Guarded([&] { return Job().Setting(inRate, outRate, stereo, quality); });
}

QMX_API int32_t QMX_CALL QMX_Begin(void) {
    return Guarded([] { return Job().Begin(); });
}

QMX_API int32_t QMX_CALL QMX_Exec(const int16_t* src, int16_t* dst, int32_t frames) {
    return Guarded([&] { return Job().Exec(src, dst, frames); });
}

QMX_API int32_t QMX_CALL QMX_End(void) {
    return Guarded([] { return Job().End(); });
}
}
