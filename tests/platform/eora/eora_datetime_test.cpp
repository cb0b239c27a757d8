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

int error_of(std::string_view value, const eora::date_picture& picture)
{
    try {
        eora::parse_datetime(value, picture);
    } catch (const eora::eora_error& e) {
        return e.number();
    }
    return 0;
}

// A picture read once serves every value afterwards as if it were read anew.
TEST(EoraDatetime, OnePictureReadsManyValues)
{
    const eora::date_picture full("yyyy-mm-dd hh24:mi:ss.ff3 tzh:tzm");
    struct row {
        const char* value;
        const char* text; // nullptr when `error` is raised
        int error;
    };
    const row rows[] = {
        {"2024-02-29 23:59:59.1239 +05:45", nullptr, 1858}, // FF3 reads three digits: 9 is the zone
        {"2024-02-29 23:59:59.123 +05:45", "2024-02-29 23:59:59.123000000 +05:45", 0},
        {"1999-12-31 00:00:00.5 -00:30", "1999-12-31 00:00:00.500000000 -00:30", 0},
        {"2023-02-29 00:00:00", nullptr, 1847},
        {"2023-01-01 24:00:00", nullptr, 1850},
        {"2023-01-01 00:60:00", nullptr, 1851},
        {"2023-01-01 00:00:60", nullptr, 1852},
        {"2023-01-01 00:00:00.1 +16:00", nullptr, 1874},
        {"2023-01-01", "2023-01-01 00:00:00.000000000", 0},
        {"0000-01-01", nullptr, 1841},
        {"9999-12-31 23:59:59.999", "9999-12-31 23:59:59.999000000", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        if (!r.text) {
            EXPECT_EQ(error_of(r.value, full), r.error);
            continue;
        }
        const eora::datetime d = eora::parse_datetime(r.value, full);
        EXPECT_EQ(d.text(9), r.text);
    }
    // What a picture cannot read fails only a value that reaches it.
    const eora::date_picture unknown("YYYY-MM Q");
    EXPECT_EQ(eora::parse_datetime("2024-03", unknown).month, 3);
    EXPECT_EQ(error_of("2024-03 1", unknown), 1821);
    const eora::date_picture open_quote("YYYY\"at");
    EXPECT_EQ(eora::parse_datetime("2024", open_quote).year, 2024);
    EXPECT_EQ(error_of("2024at", open_quote), 1821);
    const eora::date_picture quoted("YYYY\"at\"MM");
    EXPECT_EQ(eora::parse_datetime("2024at11", quoted).month, 11);
    EXPECT_EQ(error_of("2024AT11", quoted), 1861);
}

} // namespace
