// The calendar edges through every text pattern the date parser knows, and on
// through the value type and its date number.
#include "OLE/ole_date.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct edge {
    int y, mo, d, h, mi, s, ms;
};

const edge edges[] = {
    {1753, 1, 1, 0, 0, 0, 0},     {1753, 1, 1, 0, 0, 0, 3},   {9999, 12, 31, 23, 59, 59, 997},
    {9999, 12, 31, 0, 0, 0, 0},   {1899, 12, 30, 0, 0, 0, 0}, {1899, 12, 30, 12, 0, 0, 0},
    {1899, 12, 29, 6, 0, 0, 0},   {2000, 2, 29, 0, 0, 0, 0},  {2016, 2, 29, 23, 59, 59, 0},
    {1900, 2, 28, 10, 20, 30, 0}, {2024, 2, 29, 1, 2, 3, 7},  {1970, 1, 1, 0, 0, 1, 0},
};

std::string fmt(const char* f, int a, int b, int c, int d = 0, int e = 0, int g = 0, int h = 0)
{
    char buf[96];
    std::snprintf(buf, sizeof(buf), f, a, b, c, d, e, g, h);
    return buf;
}

const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

TEST(OleDateEdges, EveryPatternGivesTheSameParts)
{
    for (const edge& e : edges) {
        const bool midnight = e.h == 0 && e.mi == 0 && e.s == 0 && e.ms == 0;
        std::vector<std::string> texts = {
            fmt("%04d-%02d-%02d %02d:%02d:%02d.%03d", e.y, e.mo, e.d, e.h, e.mi, e.s, e.ms),
            fmt("%04d/%02d/%02d %02d:%02d:%02d.%03d", e.y, e.mo, e.d, e.h, e.mi, e.s, e.ms),
            fmt("%04d.%02d.%02d %02d:%02d:%02d.%03d", e.y, e.mo, e.d, e.h, e.mi, e.s, e.ms),
            fmt("%02d-%02d-%04d %02d:%02d:%02d.%03d", e.d, e.mo, e.y, e.h, e.mi, e.s, e.ms), // day first
        };
        if (e.ms == 0) texts.push_back(fmt("%04d%02d%02d%02d%02d%02d", e.y, e.mo, e.d, e.h, e.mi, e.s));
        if (midnight) {
            texts.push_back(fmt("%04d%02d%02d", e.y, e.mo, e.d));
            texts.push_back(fmt("%04d-%02d-%02d", e.y, e.mo, e.d));
            texts.push_back(std::string(months[e.mo - 1]) + fmt(" %d %04d", e.d, e.y, 0)); // the fallback
        }
        if (e.h > 0 && e.ms == 0) { // the 12-hour clock
            const int h12 = e.h % 12 == 0 ? 12 : e.h % 12;
            texts.push_back(fmt("%04d/%02d/%02d %d:%02d:%02d ", e.y, e.mo, e.d, h12, e.mi, e.s) +
                            (e.h < 12 ? "AM" : "PM"));
        }
        for (const std::string& text : texts) {
            const ole_date d(text);
            ASSERT_TRUE(d.is_valid()) << text;
            // The 14-digit stamp stays a timestamp; it still prints as a date at midnight.
            EXPECT_EQ(d.kind, midnight && text.size() != 14 ? 2 : 1) << text;
            EXPECT_EQ(d.parts.wYear, e.y) << text;
            EXPECT_EQ(d.parts.wMonth, e.mo) << text;
            EXPECT_EQ(d.parts.wDay, e.d) << text;
            EXPECT_EQ(d.parts.wHour, e.h) << text;
            EXPECT_EQ(d.parts.wMinute, e.mi) << text;
            EXPECT_EQ(d.parts.wSecond, e.s) << text;
            EXPECT_EQ(d.parts.wMilliseconds, e.ms) << text;

            // Through the value type: the same text comes out, and the date
            // number names the same second.
            const ole_variant v = ole_variant::from_string(text, VT_DATE);
            ASSERT_EQ(v.value.vt, VT_DATE) << text;
            const std::string canonical =
                midnight ? fmt("%04d-%02d-%02d", e.y, e.mo, e.d)
                : e.ms   ? fmt("%04d-%02d-%02d %02d:%02d:%02d.%03d", e.y, e.mo, e.d, e.h, e.mi, e.s, e.ms)
                         : fmt("%04d-%02d-%02d %02d:%02d:%02d", e.y, e.mo, e.d, e.h, e.mi, e.s);
            EXPECT_EQ(v.to_string(), canonical) << text;
            EXPECT_EQ(ole_variant::from_string(v.to_string(), VT_DATE).to_string(), canonical);
            SYSTEMTIME st{};
            st.wYear = static_cast<WORD>(e.y);
            st.wMonth = static_cast<WORD>(e.mo);
            st.wDay = static_cast<WORD>(e.d);
            st.wHour = static_cast<WORD>(e.h);
            st.wMinute = static_cast<WORD>(e.mi);
            st.wSecond = static_cast<WORD>(e.s);
            st.wMilliseconds = static_cast<WORD>(e.ms);
            DATE number = 0;
            ASSERT_TRUE(SystemTimeToVariantTime(&st, &number));
            EXPECT_EQ(v.value.date, number) << text;
            if (e.ms < 500) { // reading the number back rounds to the second
                SYSTEMTIME back{};
                ASSERT_TRUE(VariantTimeToSystemTime(v.value.date, &back)) << text;
                EXPECT_EQ(back.wYear, e.y) << text;
                EXPECT_EQ(back.wMonth, e.mo) << text;
                EXPECT_EQ(back.wDay, e.d) << text;
                EXPECT_EQ(back.wHour, e.h) << text;
                EXPECT_EQ(back.wMinute, e.mi) << text;
                EXPECT_EQ(back.wSecond, e.s) << text;
            }
        }
    }
}
