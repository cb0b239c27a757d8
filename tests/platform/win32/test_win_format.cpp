#include <gtest/gtest.h>

#include "platform/win32/win_format.h"

TEST(WinFormat, TranslatesWindowsWideConversions)
{
    EXPECT_EQ(win_wfmt(L"%s|%c|%S|%hs|%C|%ls|%ws"), L"%ls|%lc|%s|%s|%c|%ls|%ls");
    EXPECT_EQ(win_wfmt(L"%I64d %I64u %I64x %lld"), L"%lld %llu %llx %lld");
    EXPECT_EQ(win_wfmt(L"%ld %lu %08lX %I32d %hd"), L"%d %u %08X %d %hd");
    EXPECT_EQ(win_wfmt(L"%-10s %.3f %5.2lf %%"), L"%-10ls %.3f %5.2f %%");
    EXPECT_EQ(win_wfmt(L"%*d %p"), L"%*d %p");
    EXPECT_EQ(win_wfmt(L"50%"), L"50%%");
}

TEST(WinFormat, FormatsWideAndNarrowArguments)
{
    long long big = 1234567890123LL;
    EXPECT_EQ(win_format(L"'%s' %d %S %I64d", L"\u4e2d\u00e9", 42, "n\xc3\xa9", big),
              L"'\u4e2d\u00e9' 42 n\u00e9 1234567890123");
    std::wstring long_arg(5000, L'x');
    EXPECT_EQ(win_format(L"<%s>", long_arg.c_str()).size(), 5002u);
}

namespace {
std::wstring cut(size_t max, const wchar_t* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::wstring s = win_vformat_cut(fmt, args, max);
    va_end(args);
    return s;
}
} // namespace

TEST(WinFormat, CutKeepsTheHead)
{
    EXPECT_EQ(cut(6, L"%s", L"abcdefgh"), L"abcde");
    EXPECT_EQ(cut(20, L"%s", L"abc"), L"abc");
}

TEST(WinFormat, ExponentsGetThreeDigits)
{
    EXPECT_EQ(tk_format_exp3("1.5e+05"), "1.5e+005");
    EXPECT_EQ(tk_format_exp3("-2E-7"), "-2E-007");
    EXPECT_EQ(tk_format_exp3("3e+100"), "3e+100");
    EXPECT_EQ(tk_format_exp3("12.5"), "12.5");
}
