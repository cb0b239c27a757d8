// Date texts: parsing, validity and printing, value by value.
#include "OLE/ole_date.h"

#include <gtest/gtest.h>

namespace {

struct expect_parts {
    int kind, y, mo, d, h, mi, s, ms;
};

void expect(const ole_date& got, const expect_parts& e, const std::string& what)
{
    EXPECT_EQ(got.kind, e.kind) << what;
    EXPECT_EQ(got.parts.wYear, e.y) << what;
    EXPECT_EQ(got.parts.wMonth, e.mo) << what;
    EXPECT_EQ(got.parts.wDay, e.d) << what;
    EXPECT_EQ(got.parts.wHour, e.h) << what;
    EXPECT_EQ(got.parts.wMinute, e.mi) << what;
    EXPECT_EQ(got.parts.wSecond, e.s) << what;
    EXPECT_EQ(got.parts.wMilliseconds, e.ms) << what;
}

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

} // namespace

TEST(OleDateParse, EveryPattern)
{
    struct row {
        const char* text;
        expect_parts e;
    };
    const row rows[] = {
        {"20160131235959", {1, 2016, 1, 31, 23, 59, 59, 0}},
        {"20160131", {2, 2016, 1, 31, 0, 0, 0, 0}},
        {"12:30", {3, 0, 0, 0, 12, 30, 0, 0}},
        {"12:30:15.250", {3, 0, 0, 0, 12, 30, 15, 250}},
        {"12:30:15.123", {3, 0, 0, 0, 12, 30, 15, 123}},
        {"12:30:15.05", {3, 0, 0, 0, 12, 30, 15, 50}},
        {"12:30:15.9999", {3, 0, 0, 0, 12, 30, 15, 999}},
        {"31-12-2016 14:05:00", {1, 2016, 12, 31, 14, 5, 0, 0}},
        {"2016-12-31 14:05:00.997", {1, 2016, 12, 31, 14, 5, 0, 997}},
        {"2016/12/31 2:05:00 PM", {1, 2016, 12, 31, 14, 5, 0, 0}},
        {"2016/12/31 12:05:00 AM", {1, 2016, 12, 31, 0, 5, 0, 0}},
        {"2016/12/31 12:05:00 PM", {1, 2016, 12, 31, 12, 5, 0, 0}},
        {"31.12.2016", {2, 2016, 12, 31, 0, 0, 0, 0}},
        {"2016-01-31", {2, 2016, 1, 31, 0, 0, 0, 0}},
        {"  2016-01-31  ", {2, 2016, 1, 31, 0, 0, 0, 0}},
        {"2016-01-31 00:00:00", {2, 2016, 1, 31, 0, 0, 0, 0}},
        {"Dec 31 2016", {2, 2016, 12, 31, 0, 0, 0, 0}},
        {"1753-01-01 00:00:00", {2, 1753, 1, 1, 0, 0, 0, 0}},
        {"9999-12-31 23:59:59.997", {1, 9999, 12, 31, 23, 59, 59, 997}},
        {"2016-02-29 12:00:00", {1, 2016, 2, 29, 12, 0, 0, 0}},
        {"1899-12-30 00:00:00.003", {1, 1899, 12, 30, 0, 0, 0, 3}},
        // Two digits stand for a nearby century; four digits keep the year as written.
        {"16-03-04", {2, 2016, 3, 4, 0, 0, 0, 0}},
        {"75/03/04 01:02:03", {1, 1975, 3, 4, 1, 2, 3, 0}},
        {"5.1.31", {2, 2005, 1, 31, 0, 0, 0, 0}},
        {"31-12-49", {2, 2049, 12, 31, 0, 0, 0, 0}},
        {"0001-01-01 00:00:00.0000000", {2, 1, 1, 1, 0, 0, 0, 0}},
        {"0016-03-04 10:00:00.5", {1, 16, 3, 4, 10, 0, 0, 500}},
        {"099-12-31", {2, 99, 12, 31, 0, 0, 0, 0}},
        {"31-12-0050", {2, 50, 12, 31, 0, 0, 0, 0}},
        {"00010101", {2, 1, 1, 1, 0, 0, 0, 0}},
        {"10:60:00", {3, 0, 0, 0, 10, 60, 0, 0}}, // loose by design: 60 passes
        {"60:00:00", {3, 0, 0, 0, 60, 0, 0, 0}},
    };
    for (const row& r : rows) expect(ole_date(r.text), r.e, r.text);

    const char* invalid[] = {"",           "1:2",      "2016-13-01", "61:00:00", "10:61", "hello world",
                             "2016-00-10", "99-99-99", "12:30:61",   "10:00:-5"};
    for (const char* s : invalid) {
        const ole_date d(s);
        EXPECT_FALSE(d.is_valid()) << s;
        EXPECT_EQ(d.kind, 0) << s;
        EXPECT_EQ(d.to_string(true), "") << s;
    }
    // Long seconds texts are cut, never overrun.
    const std::string long_text = "2016-01-31 10:00:" + std::string(10000, '5');
    const ole_date huge(long_text);
    EXPECT_EQ(huge.kind, 0);
    const ole_date wide(std::wstring(L"2016-01-31 10:00:15.5"));
    expect(wide, {1, 2016, 1, 31, 10, 0, 15, 500}, "wide");
}

TEST(OleDatePrint, NarrowAndWideForms)
{
    struct row {
        SYSTEMTIME t;
        bool with_ms;
        const char* narrow;
        const wchar_t* wide;
    };
    const row rows[] = {
        {st(0, 0, 0, 8), true, "0000-00-00 08:00:00", L"08:00:00"},
        {st(0, 0, 0, 8, 0, 0, 50), false, "0000-00-00 08:00:00.050", L"08:00:00.050"},
        {st(2016, 1, 1), true, "2016-01-01", L"2016-01-01"},
        {st(2016, 1, 1, 10, 0, 15, 50), true, "2016-01-01 10:00:15.050", L"2016-01-01 10:00:15.050"},
        {st(2016, 1, 1, 10, 0, 15, 50), false, "2016-01-01 10:00:15", L"2016-01-01 10:00:15"},
        {st(2016, 1, 1, 0, 0, 0, 7), true, "2016-01-01 00:00:00.007", L"2016-01-01 00:00:00.007"},
        // A calendar year below 100 is that year: no two-digit rule for a value.
        {st(16, 3, 4), true, "0016-03-04", L"0016-03-04"},
        {st(75, 3, 4, 1, 2, 3), true, "0075-03-04 01:02:03", L"0075-03-04 01:02:03"},
        {st(1, 1, 1), true, "0001-01-01", L"0001-01-01"},
        {st(1753, 1, 1), true, "1753-01-01", L"1753-01-01"},
        {st(9999, 12, 31, 23, 59, 59, 997), true, "9999-12-31 23:59:59.997", L"9999-12-31 23:59:59.997"},
    };
    for (const row& r : rows) {
        const ole_date d(r.t);
        EXPECT_EQ(d.to_string(r.with_ms), r.narrow);
        EXPECT_EQ(d.to_wstring(r.with_ms), r.wide);
    }
}

TEST(OleDateRoundTrip, PrintedTextReadsBackAsTheSameInstant)
{
    const SYSTEMTIME stamps[] = {st(1753, 1, 1, 0, 0, 0, 3),
                                 st(9999, 12, 31, 23, 59, 59, 997),
                                 st(2016, 2, 29, 23, 59, 59, 7),
                                 st(1899, 12, 30, 12, 0, 0, 10),
                                 st(2000, 2, 29),
                                 st(1900, 3, 1, 0, 0, 1),
                                 st(0, 0, 0, 23, 59, 59, 123),
                                 st(2024, 12, 31, 1, 2, 3, 450),
                                 st(1, 1, 1),
                                 st(16, 3, 4, 10, 0, 0, 5),
                                 st(99, 12, 31, 23, 59, 59)};
    for (const SYSTEMTIME& t : stamps) {
        const std::string text = ole_date(t).to_string(true);
        const ole_date back(text);
        ASSERT_TRUE(back.is_valid()) << text;
        EXPECT_EQ(back.parts.wYear, t.wYear) << text;
        EXPECT_EQ(back.parts.wMonth, t.wMonth) << text;
        EXPECT_EQ(back.parts.wDay, t.wDay) << text;
        EXPECT_EQ(back.parts.wHour, t.wHour) << text;
        EXPECT_EQ(back.parts.wMinute, t.wMinute) << text;
        EXPECT_EQ(back.parts.wSecond, t.wSecond) << text;
        EXPECT_EQ(back.parts.wMilliseconds, t.wMilliseconds) << text;
        EXPECT_EQ(ole_date(t).to_wstring(true), ole_date(std::wstring(text.begin(), text.end())).to_wstring(true));
    }
}

TEST(OleDateVariant, FromAndToVariant)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = -1.25;
    const ole_date before_epoch(v);
    EXPECT_EQ(before_epoch.to_string(true), "1899-12-29 06:00:00");
    v.date = 42735.0;
    EXPECT_EQ(ole_date(v).kind, 2);
    v.date = 1e10;
    EXPECT_EQ(ole_date(v).kind, 0);
    v.vt = VT_NULL;
    EXPECT_EQ(ole_date(v).kind, 0);
    v.vt = VT_I4;
    try {
        ole_date bad(v);
        FAIL() << "an integer is not a date";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.level, 2);
        EXPECT_EQ(e.message, make_err_meggase("ole_date", 74));
    }
    EXPECT_THROW(ole_date(st(2016, 1, 1)).process_milliseconds(nullptr), tk_mail_assertion);

    const ole_variant var = ole_date("2016-01-31 10:20:30.250").to_variant();
    EXPECT_EQ(var.value.vt, VT_DATE);
    SYSTEMTIME got{};
    var.get_systemtime(got);
    EXPECT_EQ(got.wMilliseconds, 250);
    EXPECT_NEAR(var.value.date, 42400.0 + (10 * 3600 + 20 * 60 + 30.25) / 86400.0, 1e-9);
    EXPECT_TRUE(ole_date::is_convertible(VT_BSTR));
    EXPECT_TRUE(ole_date::is_convertible(VT_DATE));
    EXPECT_FALSE(ole_date::is_convertible(VT_I4));
}
