// The four exported functions. The job is a namespace-scope object, so unloading the library runs
// its destructor, which frees whatever converters and staging buffers it still holds.
#include "qmx.h"

#include "QmxJob.h"

namespace {

qmx::QmxJob job;

template <typename F> int32_t Guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        return qmx::kNoMemory; // nothing but allocations can throw here
    }
}

} // namespace

extern "C" {

QMX_API int32_t QMX_CALL QMX_Setting(int32_t inRate, int32_t outRate, uint8_t stereo,
                                     uint8_t quality) {
    return Guarded([&] { return job.Setting(inRate, outRate, stereo, quality); });
}

QMX_API int32_t QMX_CALL QMX_Begin(void) {
    return Guarded([] { return job.Begin(); });
}

QMX_API int32_t QMX_CALL QMX_Exec(const int16_t* src, int16_t* dst, int32_t frames) {
    return Guarded([&] { return job.Exec(src, dst, frames); });
}

QMX_API int32_t QMX_CALL QMX_End(void) {
    return Guarded([] { return job.End(); });
}
}
