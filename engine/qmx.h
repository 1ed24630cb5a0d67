// The resampler engine's exported interface: one process-wide conversion job of 16-bit PCM.
//
//   QMX_Setting(inRate, outRate, stereo, quality)  configure (quality 2 Light ... 5 Ultra Heavy)
//   QMX_Begin()                                     start; returns the headroom count in frames
//   QMX_Exec(src, dst, frames)                      convert; returns output frames written
//   QMX_End()                                       end the job, free its converters
//
// Codes: -1 unknown quality (or bad rate), -2 not configured, -3 already running,
// -4 not running; further negative codes are documented at the definitions.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define QMX_CALL __cdecl
#if defined(QMX_BUILDING)
#define QMX_API __declspec(dllexport)
#else
#define QMX_API __declspec(dllimport)
#endif
#else
#define QMX_CALL
#if defined(QMX_BUILDING)
#define QMX_API __attribute__((visibility("default")))
#else
#define QMX_API
#endif
#endif

extern "C" {
QMX_API int32_t QMX_CALL QMX_Setting(int32_t inRate, int32_t outRate, uint8_t stereo,
                                     uint8_t quality);
QMX_API int32_t QMX_CALL QMX_Begin(void);
QMX_API int32_t QMX_CALL QMX_Exec(const int16_t* src, int16_t* dst, int32_t frames);
QMX_API int32_t QMX_CALL QMX_End(void);
}

// Pointer types for binding the library at run time by name.
using QmxSettingFn = int32_t(QMX_CALL*)(int32_t, int32_t, uint8_t, uint8_t);
using QmxBeginFn = int32_t(QMX_CALL*)(void);
using QmxExecFn = int32_t(QMX_CALL*)(const int16_t*, int16_t*, int32_t);
using QmxEndFn = int32_t(QMX_CALL*)(void);
