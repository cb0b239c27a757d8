// The OLE date number and en-US date text.
#include "platform/oleaut/oleauto.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SYSTEMTIME st(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
    t.wMilliseconds = static_cast<WORD>(ms);
    return t;
}

std::wstring take(BSTR b)
{
    std::wstring s(b ? b : L"", SysStringLen(b));
    SysFreeString(b);
    return s;
}

} // namespace

TEST(DateNumber, CalendarEdgesBothWays)
{
    struct row {
        SYSTEMTIME t;
        double number;
        int dow;
    };
    const row rows[] = {
        {st(1899, 12, 30), 0.0, 6},       {st(1899, 12, 30, 6), 0.25, 6},
        {st(1899, 12, 29, 6), -1.25, 5},  {st(1899, 12, 29, 18), -1.75, 5},
        {st(1753, 1, 1), -53688.0, 1},    {st(100, 1, 1), -657434.0, 5},
        {st(9999, 12, 31), 2958465.0, 5}, {st(9999, 12, 31, 23, 59, 59), 2958465.0 + 86399.0 / 86400.0, 5},
        {st(2000, 2, 29), 36585.0, 2},    {st(2016, 12, 31, 12), 42735.5, 6},
    };
    for (const row& r : rows) {
        DATE d = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&r.t, &d)) << r.t.wYear << "-" << r.t.wMonth;
        EXPECT_DOUBLE_EQ(d, r.number);
        SYSTEMTIME back{};
        ASSERT_TRUE(VariantTimeToSystemTime(r.number, &back));
        EXPECT_EQ(back.wYear, r.t.wYear);
        EXPECT_EQ(back.wMonth, r.t.wMonth);
        EXPECT_EQ(back.wDay, r.t.wDay);
        EXPECT_EQ(back.wHour, r.t.wHour);
        EXPECT_EQ(back.wMinute, r.t.wMinute);
        EXPECT_EQ(back.wSecond, r.t.wSecond);
        EXPECT_EQ(back.wMilliseconds, 0);
        EXPECT_EQ(back.wDayOfWeek, r.dow) << r.number;
    }
}

TEST(DateNumber, RefusesImpossibleDatesAndRoundsToSeconds)
{
    const SYSTEMTIME bad[] = {st(1900, 2, 29),       st(2015, 2, 29),          st(2016, 13, 1),
                              st(2016, 4, 31),       st(2016, 1, 0),           st(2016, 1, 1, 24),
                              st(2016, 1, 1, 0, 60), st(2016, 1, 1, 0, 0, 60), st(10000, 1, 1)};
    for (const SYSTEMTIME& t : bad) {
        DATE d = 123;
        EXPECT_FALSE(SystemTimeToVariantTime(&t, &d));
        EXPECT_EQ(d, 123);
    }
    // Two-digit years: 1930-2029.
    DATE d = 0;
    SYSTEMTIME y16 = st(16, 1, 31);
    ASSERT_TRUE(SystemTimeToVariantTime(&y16, &d));
    SYSTEMTIME full = st(2016, 1, 31);
    DATE d2 = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&full, &d2));
    EXPECT_EQ(d, d2);
    SYSTEMTIME y75 = st(75, 6, 1), y1975 = st(1975, 6, 1);
    ASSERT_TRUE(SystemTimeToVariantTime(&y75, &d));
    ASSERT_TRUE(SystemTimeToVariantTime(&y1975, &d2));
    EXPECT_EQ(d, d2);

    // Milliseconds are part of the instant; reading back rounds to the second.
    SYSTEMTIME ms = st(2016, 1, 1, 23, 59, 59, 600);
    ASSERT_TRUE(SystemTimeToVariantTime(&ms, &d));
    SYSTEMTIME back{};
    ASSERT_TRUE(VariantTimeToSystemTime(d, &back));
    EXPECT_EQ(back.wYear, 2016);
    EXPECT_EQ(back.wMonth, 1);
    EXPECT_EQ(back.wDay, 2);
    EXPECT_EQ(back.wHour, 0);
    ms = st(2016, 1, 1, 10, 0, 15, 400);
    ASSERT_TRUE(SystemTimeToVariantTime(&ms, &d));
    ASSERT_TRUE(VariantTimeToSystemTime(d, &back));
    EXPECT_EQ(back.wSecond, 15);
    EXPECT_EQ(back.wMilliseconds, 0);

    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &back));
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &back));
    EXPECT_FALSE(VariantTimeToSystemTime(2958465.999999, &back)); // rounds into year 10000
    EXPECT_FALSE(VariantTimeToSystemTime(0.0 / 0.0, &back));
}

TEST(DateText, EnglishFormsParse)
{
    struct row {
        const wchar_t* in;
        SYSTEMTIME t;
    };
    const row rows[] = {
        {L"Dec 31 2016", st(2016, 12, 31)},
        {L"December 31, 2016", st(2016, 12, 31)},
        {L"31 Dec 2016", st(2016, 12, 31)},
        {L"dec 31, 2016 2:05 PM", st(2016, 12, 31, 14, 5)},
        {L"12/31/2016", st(2016, 12, 31)},
        {L"12-31-16", st(2016, 12, 31)},
        {L"2016-01-31", st(2016, 1, 31)},
        {L"2016/1/31 23:59:59", st(2016, 1, 31, 23, 59, 59)},
        {L"1/2/1950 12:00:00 AM", st(1950, 1, 2, 0)},
        {L"1/2/1950 12:30 pm", st(1950, 1, 2, 12, 30)},
        {L"Monday, February 29, 2016", st(2016, 2, 29)},
        {L"1/1/29", st(2029, 1, 1)},
        {L"1/1/30", st(1930, 1, 1)},
        {L"10:30:00", st(1899, 12, 30, 10, 30)},
        {L"6 PM", st(1899, 12, 30, 18)},
    };
    for (const row& r : rows) {
        DATE d = 0;
        ASSERT_EQ(VarDateFromStr(r.in, 1033, 0, &d), S_OK) << r.in;
        SYSTEMTIME got{};
        ASSERT_TRUE(VariantTimeToSystemTime(d, &got));
        EXPECT_EQ(got.wYear, r.t.wYear) << r.in;
        EXPECT_EQ(got.wMonth, r.t.wMonth) << r.in;
        EXPECT_EQ(got.wDay, r.t.wDay) << r.in;
        EXPECT_EQ(got.wHour, r.t.wHour) << r.in;
        EXPECT_EQ(got.wMinute, r.t.wMinute) << r.in;
        EXPECT_EQ(got.wSecond, r.t.wSecond) << r.in;
    }
    const wchar_t* bad[] = {L"",   L"hello", L"2/30/2016",       L"13/1/2016", L"25:00", L"1/2/3/4", L"Dec Jan 2016",
                            L"12", L"13 PM", L"99999999999/1/1", L"1:2:3:4"};
    for (const wchar_t* s : bad) {
        DATE d = 5;
        EXPECT_EQ(VarDateFromStr(s, 1033, 0, &d), DISP_E_TYPEMISMATCH) << s;
        EXPECT_EQ(d, 5);
    }
}

TEST(DateText, PrintsUsForm)
{
    BSTR b = nullptr;
    ASSERT_EQ(VarBstrFromDate(42735.0, 1033, 0, &b), S_OK);
    EXPECT_EQ(take(b), L"12/31/2016");
    ASSERT_EQ(VarBstrFromDate(42735.0 + 14.0 / 24 + 5.0 / 1440, 1033, 0, &b), S_OK);
    EXPECT_EQ(take(b), L"12/31/2016 2:05:00 PM");
    ASSERT_EQ(VarBstrFromDate(0.5, 1033, 0, &b), S_OK);
    EXPECT_EQ(take(b), L"12:00:00 PM");
    ASSERT_EQ(VarBstrFromDate(0.0, 1033, 0, &b), S_OK);
    EXPECT_EQ(take(b), L"12/30/1899");
    DATE back = 0;
    ASSERT_EQ(VarDateFromStr(L"12/31/2016 2:05:00 PM", 1033, 0, &back), S_OK);
    EXPECT_NEAR(back, 42735.0 + 14.0 / 24 + 5.0 / 1440, 1e-9);
}
