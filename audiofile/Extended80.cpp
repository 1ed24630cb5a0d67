#include "Extended80.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kBias = 16383;
constexpr uint16_t kExponentMask = 0x7FFF;
constexpr uint16_t kSignBit = 0x8000;

int LeadingZeros64(uint64_t v) {
    int n = 0;
    for (uint64_t bit = uint64_t{1} << 63; bit != 0 && (v & bit) == 0; bit >>= 1)
        ++n;
    return n;
}

} // namespace

Extended80 Extended80::FromUInt32(uint32_t value) {
    Extended80 x;
    if (value == 0) return x;
    const int lz = LeadingZeros64(value);
    x.significand = uint64_t{value} << lz;
    x.signExponent = static_cast<uint16_t>(kBias + 63 - lz);
    return x;
}

Extended80 Extended80::FromBytes(const uint8_t bytes[10]) {
    Extended80 x;
    x.signExponent = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    for (int i = 2; i < 10; ++i)
        x.significand = (x.significand << 8) | bytes[i];
    return x;
}

void Extended80::ToBytes(uint8_t bytes[10]) const {
    bytes[0] = static_cast<uint8_t>(signExponent >> 8);
    bytes[1] = static_cast<uint8_t>(signExponent & 0xFF);
    for (int i = 0; i < 8; ++i)
        bytes[2 + i] = static_cast<uint8_t>(significand >> (56 - 8 * i));
}

double Extended80::ToDouble() const {
    const bool negative = (signExponent & kSignBit) != 0;
    const int exponent = signExponent & kExponentMask;
    const double sign = negative ? -1.0 : 1.0;

    if (exponent == kExponentMask) {
        // The integer bit is not part of the test: any fraction bit makes a NaN.
        if ((significand & ~(uint64_t{1} << 63)) == 0)
            return sign * std::numeric_limits<double>::infinity();
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (significand == 0) return sign * 0.0;

    // Normalise so that the top bit is set; the value is then 1.f x 2^e.
    const int lz = LeadingZeros64(significand);
    const uint64_t sig = significand << lz;
    const int e = (exponent == 0 ? 1 : exponent) - kBias - lz;

    // Bits of precision a double has at this magnitude (fewer in its subnormal range).
    int keep = 53;
    if (e < -1022) keep = 53 - (-1022 - e);
    if (keep < 0) return sign * 0.0; // below half the smallest subnormal

    uint64_t mantissa = 0;
    uint64_t rest = 0;
    uint64_t half = 0;
    if (keep == 0) {
        rest = sig;
        half = uint64_t{1} << 63;
    } else {
        mantissa = sig >> (64 - keep);
        rest = sig << keep; // the dropped bits, moved to the top
        half = uint64_t{1} << 63;
    }
    // Round to nearest, ties to even.
    if (rest > half || (rest == half && (mantissa & 1) != 0)) ++mantissa;
    // mantissa x 2^(e - keep + 1); ldexp is exact here (or overflows to infinity).
    return sign * std::ldexp(static_cast<double>(mantissa), e - keep + 1);
}

uint32_t Extended80::TruncToUInt32() const {
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    const bool negative = (signExponent & kSignBit) != 0;
    const int exponent = signExponent & kExponentMask;

    if (exponent == kExponentMask) {
        const bool isNaN = (significand & ~(uint64_t{1} << 63)) != 0;
        return (isNaN || negative) ? 0 : kMax;
    }
    if (negative || significand == 0 || exponent == 0)
        return 0; // negative values, zeros and values far below 1

    // value = significand x 2^(exponent - bias - 63)
    const int shift = exponent - kBias - 63;
    if (shift >= 0) {
        if (shift >= 32 || significand > (uint64_t{kMax} >> shift)) return kMax;
        return static_cast<uint32_t>(significand << shift);
    }
    if (shift <= -64) return 0;
    const uint64_t whole = significand >> -shift;
    return whole > kMax ? kMax : static_cast<uint32_t>(whole);
}
