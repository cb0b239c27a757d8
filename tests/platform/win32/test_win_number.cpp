#include <gtest/gtest.h>
#include <langinfo.h>
#include <clocale>

#include "platform/win32/win_locale.h"
#include "platform/win32/win_number.h"

TEST(WinNumber, DoublesUseTheDotWhateverTheLocale)
{
    double d = 0;
    EXPECT_TRUE(parse_double_c("12.5", d));
    EXPECT_EQ(d, 12.5);
    EXPECT_TRUE(parse_double_c(" -1e-3", d));
    EXPECT_EQ(d, -1e-3);
    EXPECT_FALSE(parse_double_c("12,5", d));
    EXPECT_FALSE(parse_double_c("1.5x", d));
    EXPECT_FALSE(parse_double_c("", d));
    EXPECT_FALSE(parse_double_c("1e999", d));
    EXPECT_FALSE(parse_double_c(std::string_view("1\0"
                                                 "2",
                                                 3),
                                d));
}

TEST(WinNumber, IntegersReportRange)
{
    int64_t i = 0;
    EXPECT_TRUE(parse_int64("-9223372036854775808", i));
    EXPECT_EQ(i, INT64_MIN);
    EXPECT_FALSE(parse_int64("9223372036854775808", i));
    EXPECT_TRUE(parse_int64("ff", i, 16));
    EXPECT_EQ(i, 255);
    uint64_t u = 0;
    EXPECT_TRUE(parse_uint64("18446744073709551615", u));
    EXPECT_EQ(u, UINT64_MAX);
    EXPECT_FALSE(parse_uint64("18446744073709551616", u));
    EXPECT_FALSE(parse_uint64("-1", u));
    EXPECT_FALSE(parse_uint64(" ", u));
}

TEST(WinLocale, CharacterTypeIsUtf8AndNumbersStayC)
{
    setup_process_locale();
    EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}
