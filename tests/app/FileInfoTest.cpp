#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "FileInfo.h"

using brelka::DurationText;

TEST(FileInfo, DurationTexts) {
    EXPECT_EQ(DurationText(88200, 44100), "0:00:02:000");
    EXPECT_EQ(DurationText(1, 44100), "0:00:00:000");
    EXPECT_EQ(DurationText(44101, 22050.5), "0:00:02:000");
    EXPECT_EQ(DurationText(259200000, 48000), "1:30:00:000");
    // 64-bit arithmetic: R x 3600 does not fit 32 bits above 596523 Hz.
    EXPECT_EQ(DurationText(4200000, 700000), "0:00:06:000");
    // Hours and the rest agree at a rate with a fraction.
    EXPECT_EQ(DurationText(172800000, 48000.9), "1:00:00:000");
    EXPECT_EQ(DurationText(1000, 0.5), "");
    // Rates no file means, but a header may hold: no overflow, a duration of nothing.
    EXPECT_EQ(DurationText(0xFFFFFFFF, 1e16), "0:00:00:000");
    EXPECT_EQ(DurationText(0xFFFFFFFF, std::numeric_limits<double>::infinity()), "0:00:00:000");
    EXPECT_EQ(DurationText(0xFFFFFFFF, std::nan("")), "");
}
