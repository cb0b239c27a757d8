#include "platform/eora/eora_datetime.h"
#include "platform/embedded/embedded_clock.h"
#include "platform/eora/eora_error.h"

#include <gtest/gtest.h>

namespace {

// The clock may turn a month between two readings: a value matches either.
bool today_is(int year, int month, const embedded::clock_reading& before, const embedded::clock_reading& after)
{
    return (year == before.year && month == before.month) || (year == after.year && month == after.month);
}

TEST(EoraDatetime, WhatAPictureLacksIsTakenFromToday)
{
    const embedded::clock_reading before = embedded::local_now();
    const eora::datetime day = eora::parse_datetime("15", "DD");
    const eora::datetime year = eora::parse_datetime("2020", "YYYY");
    const eora::datetime month = eora::parse_datetime("03", "MM");
    const eora::datetime rr = eora::parse_datetime("07", "RR");
    const eora::datetime yy = eora::parse_datetime("07-02", "YY-MM");
    const embedded::clock_reading after = embedded::local_now();

    EXPECT_TRUE(today_is(day.year, day.month, before, after));
    EXPECT_EQ(day.day, 15);
    EXPECT_EQ(year.year, 2020);
    EXPECT_TRUE(year.month == before.month || year.month == after.month);
    EXPECT_EQ(year.day, 1);
    EXPECT_EQ(month.month, 3);
    EXPECT_TRUE(month.year == before.year || month.year == after.year);
    // Two digits of a year are in this century (RR: the one nearest today).
    const int century = before.year / 100 * 100;
    EXPECT_EQ(yy.year, century + 7);
    EXPECT_EQ(yy.month, 2);
    EXPECT_EQ(rr.year, before.year % 100 < 50 ? century + 7 : century + 107);
    // A year given in full decides: the RR after it is read against it.
    EXPECT_EQ(eora::parse_datetime("1960 55", "YYYY RR").year, 1955);
    EXPECT_EQ(eora::parse_datetime("01-JAN-99", "DD-MON-RR").year, before.year % 100 < 50 ? century - 1 : century + 99);
    EXPECT_EQ(eora::parse_datetime("2021-02-28", "YYYY-MM-DD").day, 28);
    try {
        eora::parse_datetime("2021-02-29", "YYYY-MM-DD");
        ADD_FAILURE() << "accepted";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.number(), 1847);
    }
}

} // namespace
