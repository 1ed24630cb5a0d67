// The resampler engine's exported interface: one process-wide conversion job of 16-bit PCM.
//
//   QMX_Setting(inRate, outRate, stereo, quality)  configure (quality 2 Light ... 5 Ultra Heavy)
//   QMX_Begin()                                     start; returns the headroom count in frames
//   QMX_Exec(src, dst, frames)                      convert; returns output frames written
//   QMX_End()                                       end the job, free its converters
//
// Codes (every refusal leaves the job as it was, and QMX_Exec then writes nothing):
//   -1  QMX_Setting: quality not 2 to 5, or a rate of 0 or less
//   -2  QMX_Begin, QMX_End, QMX_Exec: not configured (no successful QMX_Setting yet)
//   -3  QMX_Begin: a job is already running
//   -4  QMX_End, QMX_Exec: no job is running
//   -5  QMX_Begin: the rate pair is too large: a block length beyond 32 bits, or converters,
//       tables and staging buffers of all channels needing more than 256 MiB (coprime rates in
//       the megahertz range at "Ultra Heavy", or a rate ratio above a few hundred at "Heavy")
//   -6  QMX_Exec: a QMX_Setting during the job discarded its converters; call QMX_End (and
//       QMX_Begin for the new settings)
//   -7  QMX_Exec: negative frame count, null source (with frames) or destination, or a call
//       whose output count would not fit in 32 bits
//   -8  any: out of memory
//
// Headroom: one QMX_Exec call of n frames writes at most n * outRate / inRate + the count that
// QMX_Begin returned (half the filter length, or half the output block length at "Ultra Heavy").
// The output lags the input; nothing flushes a converter at QMX_End.
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
