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

// Rows a, b, c, d of a 4 x 4 block become its columns.
WIDE_ALWAYS_INLINE void WideTranspose(WideLanes& a, WideLanes& b, WideLanes& c, WideLanes& d) {
    const WideLanes t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    const WideLanes t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    const WideLanes t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
    const WideLanes t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}
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
