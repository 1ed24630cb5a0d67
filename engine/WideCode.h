// Inner loops compiled twice, for the baseline processor and for one with 32-byte vector registers
// (AVX2), the second chosen at run time where the processor has them. Both compile the same
// source without fused operations, so they give the same bits.
#pragma once

#if defined(__GNUC__)
// Helpers of an inner loop must become part of each compiled copy.
#define WIDE_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define WIDE_ALWAYS_INLINE inline
#endif

#if defined(__GNUC__) && (defined(__clang__) || __GNUC__ >= 12)
// Vector types of four doubles (split into two registers on the baseline processor).
#define WIDE_LANES 1
typedef double WideLanes __attribute__((vector_size(32)));
#endif

#if defined(__GNUC__) && defined(__x86_64__) && defined(__OPTIMIZE__)
#define WIDE_COPY 1
#define WIDE_TARGET __attribute__((target("avx2")))

// True where the processor has AVX2 (asked once).
inline bool WideRegisters() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif
