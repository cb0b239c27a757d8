#include <gtest/gtest.h>

#include <regex>

#include "platform/embedded/embedded_clock.h"

using embedded::clock_reading;
using embedded::clock_text;

namespace {
clock_reading reading(int y, int mo, int d, int h, int mi, int s, int64_t ns)
{
    clock_reading r;
    r.year = y;
    r.month = mo;
    r.day = d;
    r.hour = h;
    r.minute = mi;
    r.second = s;
    r.nanosecond = ns;
    return r;
}
} // namespace

TEST(EmbeddedClock, TextIsZeroPaddedAndFractionIsCut)
{
    const clock_reading r = reading(2024, 3, 7, 9, 5, 2, 999'600'000);
    EXPECT_EQ(clock_text(r, 0), "2024-03-07 09:05:02");
    // cut, not rounded: rounding would carry into the next second
    EXPECT_EQ(clock_text(r, 3), "2024-03-07 09:05:02.999");
    EXPECT_EQ(clock_text(r, 1), "2024-03-07 09:05:02.9");
    EXPECT_EQ(clock_text(r, 9), "2024-03-07 09:05:02.999600000");
    EXPECT_EQ(clock_text(r, 12), "2024-03-07 09:05:02.999600000");
    // leading zeros of the fraction stay
    EXPECT_EQ(clock_text(reading(999, 12, 31, 23, 59, 59, 7'000'000), 3), "0999-12-31 23:59:59.007");
    EXPECT_EQ(clock_text(reading(2024, 1, 1, 0, 0, 0, 0), 3), "2024-01-01 00:00:00.000");
}

TEST(EmbeddedClock, NowIsAValidLocalTime)
{
    const clock_reading r = embedded::local_now();
    EXPECT_GE(r.year, 2020);
    EXPECT_GE(r.month, 1);
    EXPECT_LE(r.month, 12);
    EXPECT_GE(r.day, 1);
    EXPECT_LE(r.day, 31);
    EXPECT_LE(r.hour, 23);
    EXPECT_LE(r.minute, 59);
    EXPECT_LE(r.second, 60);
    EXPECT_GE(r.nanosecond, 0);
    EXPECT_LT(r.nanosecond, 1'000'000'000);
    EXPECT_TRUE(std::regex_match(embedded::now_text(3), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")));
    EXPECT_TRUE(std::regex_match(embedded::now_text(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
}
