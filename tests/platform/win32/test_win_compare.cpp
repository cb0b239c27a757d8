#include <gtest/gtest.h>

#include "platform/win32/win_compare.h"

TEST(WinCompare, IgnoreCaseCoversNonAsciiNames)
{
    EXPECT_EQ(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"Table", L"TABLE"), CSTR_EQUAL);
    EXPECT_EQ(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"\u00e9T\u00c9", L"\u00c9t\u00e9"), CSTR_EQUAL);
    EXPECT_EQ(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"stra\u00dfe", L"STRASSE"), CSTR_EQUAL);
    EXPECT_EQ(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"abc", L"abd"), CSTR_LESS_THAN);
    EXPECT_EQ(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"b", L"A"), CSTR_GREATER_THAN);
    // Width and accents still count.
    EXPECT_NE(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"a", L"\uff41"), CSTR_EQUAL);
    EXPECT_NE(compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"e", L"\u00e9"), CSTR_EQUAL);
}

TEST(WinCompare, WithoutTheFlagCaseCounts)
{
    EXPECT_NE(compare_string(LOCALE_USER_DEFAULT, 0, L"Table", L"TABLE"), CSTR_EQUAL);
    EXPECT_EQ(compare_string(LOCALE_USER_DEFAULT, 0, L"same", L"same"), CSTR_EQUAL);
}

TEST(WinCompare, Win32FormsHonourLengths)
{
    EXPECT_EQ(CompareStringW(0x400, NORM_IGNORECASE, L"abcX", 3, L"ABC", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(0x400, NORM_IGNORECASE, "\xc3\xa9t\xc3\xa9", -1, "\xc3\x89T\xc3\x89", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringW(0x400, 0, nullptr, -1, L"a", -1), 0);
}

TEST(WinCompare, CharacterClasses)
{
    EXPECT_EQ(char_upper(L'\u00e9'), L'\u00c9');
    EXPECT_EQ(char_upper(L'z'), L'Z');
    EXPECT_TRUE(is_char_alnum(L'\u4e2d'));
    EXPECT_TRUE(is_char_alnum(L'7'));
    EXPECT_FALSE(is_char_alnum(L'_'));
    EXPECT_FALSE(IsCharAlphaW(L'7'));
}
