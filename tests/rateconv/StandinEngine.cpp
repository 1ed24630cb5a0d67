// A stand-in for the engine library, built only for the tests: it exports the four functions
// with the engine's signatures, records what it was given, and copies its input.
#include <cstdint>
#include <cstring>

#define QMX_BUILDING
#include "qmx.h"

namespace {
int32_t gIn = 0, gOut = 0, gStereo = -1, gQuality = -1, gCalls = 0;
} // namespace

extern "C" {
QMX_API int32_t QMX_CALL QMX_Setting(int32_t inRate, int32_t outRate, uint8_t stereo,
                                     uint8_t quality) {
    gIn = inRate;
    gOut = outRate;
    gStereo = stereo;
    gQuality = quality;
    ++gCalls;
    return quality == 9 ? -1 : 0;
}
QMX_API int32_t QMX_CALL QMX_Begin(void) {
    ++gCalls;
    return 77;
}
QMX_API int32_t QMX_CALL QMX_Exec(const int16_t* src, int16_t* dst, int32_t frames) {
    ++gCalls;
    const int32_t samples = frames * (gStereo ? 2 : 1);
    std::memcpy(dst, src, static_cast<size_t>(samples) * sizeof(int16_t));
    return frames;
}
QMX_API int32_t QMX_CALL QMX_End(void) {
    ++gCalls;
    return 5;
}
// What the last setting call carried, for the tests to look at.
QMX_API void Standin_Last(int32_t* values) {
    values[0] = gIn;
    values[1] = gOut;
    values[2] = gStereo;
    values[3] = gQuality;
    values[4] = gCalls;
}
}
