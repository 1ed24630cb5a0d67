// The 80-bit IEEE 754 extended-precision value that AIFF uses for its sampling rate, held
// exactly as its two parts so that no compiler's long double can round it.
#pragma once

#include <cstdint>

struct Extended80 {
    uint16_t signExponent = 0; // sign bit, then the exponent biased by 16383
    uint64_t significand = 0;  // explicit integer bit on top

    // Exact conversion of an unsigned integer (a WAV rate).
    static Extended80 FromUInt32(uint32_t value);
    // The 10 bytes as AIFF stores them (big-endian: exponent word, then the significand).
    static Extended80 FromBytes(const uint8_t bytes[10]);
    void ToBytes(uint8_t bytes[10]) const;

    // Nearest double (for display and for rate arithmetic). NaN and infinities pass through.
    double ToDouble() const;
    // Truncated toward zero and limited to 0 ... 4294967295 (negative, NaN -> 0).
    uint32_t TruncToUInt32() const;

    bool operator==(const Extended80& o) const {
        return signExponent == o.signExponent && significand == o.significand;
    }
    bool operator!=(const Extended80& o) const { return !(*this == o); }
};
