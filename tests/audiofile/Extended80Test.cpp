#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "Extended80.h"

namespace {

Extended80 Make(uint16_t se, uint64_t sig) {
    Extended80 x;
    x.signExponent = se;
    x.significand = sig;
    return x;
}

TEST(Extended80, IntegerRatesConvertExactly) {
    EXPECT_EQ(Extended80::FromUInt32(44100), Make(0x400E, 0xAC44000000000000));
    EXPECT_EQ(Extended80::FromUInt32(31250), Make(0x400D, 0xF424000000000000));
    EXPECT_EQ(Extended80::FromUInt32(1), Make(0x3FFF, 0x8000000000000000));
    EXPECT_EQ(Extended80::FromUInt32(0), Make(0, 0));
    EXPECT_EQ(Extended80::FromUInt32(0xFFFFFFFF), Make(0x401E, 0xFFFFFFFF00000000));
    for (uint32_t v :
         {1u, 2u, 3u, 8000u, 22050u, 31250u, 44100u, 48000u, 192000u, 0x80000001u, 0xFFFFFFFFu}) {
        const Extended80 x = Extended80::FromUInt32(v);
        EXPECT_EQ(x.TruncToUInt32(), v);
        EXPECT_EQ(x.ToDouble(), static_cast<double>(v));
    }
}

TEST(Extended80, BytesPassThroughBitForBit) {
    const uint8_t in[10] = {0x40, 0x0E, 0xAC, 0x44, 0xB3, 0x33, 0x33, 0x33, 0x33, 0x35};
    const Extended80 x = Extended80::FromBytes(in);
    EXPECT_EQ(x, Make(0x400E, 0xAC44B33333333335));
    uint8_t out[10];
    x.ToBytes(out);
    EXPECT_EQ(std::memcmp(in, out, 10), 0);
}

TEST(Extended80, TruncationIsExactNotViaDouble) {
    // 44101 - 2^-48: a double rounds it to 44101.0, truncation must give 44100.
    const Extended80 below = Make(0x400E, (uint64_t{44101} << 48) - 1);
    EXPECT_EQ(below.ToDouble(), 44101.0);
    EXPECT_EQ(below.TruncToUInt32(), 44100u);
    // 44100.7 truncates to 44100.
    EXPECT_EQ(Make(0x400E, 0xAC44B33333333333).TruncToUInt32(), 44100u);
    // Values below 1.
    EXPECT_EQ(Make(0x3FFE, 0xFFFFFFFFFFFFFFFF).TruncToUInt32(), 0u);
    EXPECT_EQ(Make(0x0001, 0x8000000000000000).TruncToUInt32(), 0u);
    // An unnormal (integer bit clear) is still valued as significand x 2^(e - 16383 - 63).
    EXPECT_EQ(Make(0x403E, 5).TruncToUInt32(), 5u);
}

TEST(Extended80, TruncationLimits) {
    const uint32_t kMax = 0xFFFFFFFF;
    EXPECT_EQ(Make(0xC00E, 0xAC44000000000000).TruncToUInt32(), 0u);   // -44100
    EXPECT_EQ(Make(0x8000, 0).TruncToUInt32(), 0u);                    // -0
    EXPECT_EQ(Make(0x7FFF, 0xC000000000000000).TruncToUInt32(), 0u);   // NaN
    EXPECT_EQ(Make(0xFFFF, 0xC000000000000000).TruncToUInt32(), 0u);   // NaN
    EXPECT_EQ(Make(0x7FFF, 0x8000000000000000).TruncToUInt32(), kMax); // +inf
    EXPECT_EQ(Make(0xFFFF, 0x8000000000000000).TruncToUInt32(), 0u);   // -inf
    EXPECT_EQ(Make(0x401F, 0x8000000000000000).TruncToUInt32(), kMax); // 2^32
    EXPECT_EQ(Make(0x401E, 0xFFFFFFFFFFFFFFFF).TruncToUInt32(), kMax); // 2^32 - tiny
    EXPECT_EQ(Make(0x7FFE, 0xFFFFFFFFFFFFFFFF).TruncToUInt32(), kMax); // largest
    EXPECT_EQ(Make(0x401E, 0xFFFFFFFE00000001).TruncToUInt32(), 0xFFFFFFFEu);
}

TEST(Extended80, ToDoubleRoundsToNearestEven) {
    // 1 + 2^-53 is a tie between 1 and 1 + 2^-52: even gives 1.
    EXPECT_EQ(Make(0x3FFF, 0x8000000000000400).ToDouble(), 1.0);
    // 1 + 3 x 2^-53 ties upward to 1 + 2^-51.
    EXPECT_EQ(Make(0x3FFF, 0x8000000000000C00).ToDouble(), 1.0 + std::ldexp(1.0, -51));
    // Just above the tie rounds up.
    EXPECT_EQ(Make(0x3FFF, 0x8000000000000401).ToDouble(), 1.0 + std::ldexp(1.0, -52));
    // Carry out of the significand.
    EXPECT_EQ(Make(0x3FFF, 0xFFFFFFFFFFFFFFFF).ToDouble(), 2.0);
    EXPECT_NEAR(Make(0x400E, 0xAC44B33333333333).ToDouble(), 44100.7, 1e-9);
    EXPECT_EQ(Make(0xC00E, 0xAC44000000000000).ToDouble(), -44100.0);
}

TEST(Extended80, ToDoubleSpecialValues) {
    EXPECT_TRUE(std::isinf(Make(0x7FFF, 0x8000000000000000).ToDouble()));
    EXPECT_GT(Make(0x7FFF, 0x8000000000000000).ToDouble(), 0);
    EXPECT_LT(Make(0xFFFF, 0x8000000000000000).ToDouble(), 0);
    EXPECT_TRUE(std::isnan(Make(0x7FFF, 0xC000000000000001).ToDouble()));
    EXPECT_EQ(Make(0, 0).ToDouble(), 0.0);
    EXPECT_TRUE(std::signbit(Make(0x8000, 0).ToDouble()));
    // Beyond the double range: infinity; far below it: zero.
    EXPECT_TRUE(std::isinf(Make(0x7000, 0x8000000000000000).ToDouble()));
    EXPECT_EQ(Make(0x0100, 0x8000000000000000).ToDouble(), 0.0);
    // The smallest subnormal double, and half of it plus a bit (rounds up to it).
    EXPECT_EQ(Make(16383 - 1074, 0x8000000000000000).ToDouble(),
              std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(Make(16383 - 1075, 0x8000000000000001).ToDouble(),
              std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(Make(16383 - 1075, 0x8000000000000000).ToDouble(), 0.0); // tie to even
}

} // namespace
