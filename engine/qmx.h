// The resampler engine's exported interface: one process-wide conversion job of 16-bit PCM.
//
//   QMX_Setting(inRate, outRate, stereo, quality)  configure (quality 2 Light ... 5 Ultra Heavy)
//   QMX_Begin()                                     start; returns the headroom count in frames
//   QMX_Exec(src, dst, frames)                      convert; returns output frames written
//   QMX_End()                                       end the job, free its converters
//
// Every function returns 0 or a count on success and one of the codes below on failure; a
// refusal leaves the job as it was, and QMX_Exec then writes nothing.
// Headroom: one QMX_Exec call of n frames writes at most n * outRate / inRate + the count that
// QMX_Begin returned (half the filter length, or half the output block length at "Ultra Heavy").
// The output lags the input; nothing flushes a converter at QMX_End.
#pragma once

#include <cstdint>

// Result codes. Their numbers are part of the library's interface and never change.
enum QmxCode : int32_t {
    QMX_OK = 0,
    // QMX_Setting: quality not 2 to 5, or a rate of 0 or less.
    QMX_BAD_SETTING = -1,
    // QMX_Begin, QMX_End, QMX_Exec: no successful QMX_Setting yet.
    QMX_NOT_CONFIGURED = -2,
    // QMX_Begin: a job is already running.
    QMX_ALREADY_RUNNING = -3,
    // QMX_End, QMX_Exec: no job is running.
    QMX_NOT_RUNNING = -4,
    // QMX_Begin: the rate pair is too large: a block length beyond 32 bits, or converters, tables
    // and staging buffers of all channels needing more than 256 MiB (coprime rates in the
    // megahertz range at "Ultra Heavy", or a rate ratio above a few hundred at "Heavy").
    QMX_TOO_LARGE = -5,
    // QMX_Exec: a QMX_Setting during the job discarded its converters; call QMX_End (and
    // QMX_Begin for the new settings).
    QMX_DISCARDED = -6,
    // QMX_Exec: negative frame count, null source (with frames) or destination, or a call whose
    // output count would not fit in 32 bits.
    QMX_BAD_ARGUMENT = -7,
    // Any function: out of memory.
    QMX_NO_MEMORY = -8,
    // Never returned by the library: what a client that binds it at run time reports for a call
    // that needs it while it could not be loaded.
    QMX_NOT_LOADED = -10,
};

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
