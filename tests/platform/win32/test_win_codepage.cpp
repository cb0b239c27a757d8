#include <gtest/gtest.h>

#include "platform/win32/win_codepage.h"
#include "platform/win32/win_error.h"

namespace {

// Restores the process page after a test changed it.
struct acp_guard {
    UINT saved = get_acp();
    ~acp_guard() { set_acp(saved); }
};

const std::wstring k_mixed = L"a\u00e9\u4e2d\U0001F600";
const std::string k_mixed_utf8 = "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";

} // namespace

TEST(WinCodepage, Utf8RoundTripIncludesCharactersOutsideTheBmp)
{
    auto enc = wide_to_mb(CP_UTF8, k_mixed);
    ASSERT_TRUE(enc);
    EXPECT_EQ(*enc, k_mixed_utf8);
    auto dec = mb_to_wide(CP_UTF8, *enc, true);
    ASSERT_TRUE(dec);
    EXPECT_EQ(*dec, k_mixed);
}

TEST(WinCodepage, StrictUtf8RefusesMalformedInput)
{
    const char* bad[] = {"\xc3\x28",         "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                         "\xf4\x90\x80\x80", "\xe4\xb8", "\x80",         "\xff"};
    for (const char* b : bad) {
        SetLastError(0);
        EXPECT_FALSE(mb_to_wide(CP_UTF8, b, true)) << b;
        EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    }
    auto lenient = mb_to_wide(CP_UTF8, "x\xc3\x28y", false);
    ASSERT_TRUE(lenient);
    EXPECT_EQ(*lenient, L"x\uFFFD(y");
}

TEST(WinCodepage, InvalidCodePointsEncodeAsReplacement)
{
    std::wstring bad;
    bad += static_cast<wchar_t>(0xD800);
    bad += static_cast<wchar_t>(0x110000);
    EXPECT_EQ(utf8_encode(bad), "\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(WinCodepage, Page1252MapsKnownAndReplacesUnmappable)
{
    auto out = wide_to_mb(1252, L"caf\u00e9 \u20ac \u4e2d\U0001F600.");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "caf\xe9 \x80 ??.");
    auto back = mb_to_wide(1252, "caf\xe9 \x80", false);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, L"caf\u00e9 \u20ac");
}

TEST(WinCodepage, DoubleBytePageRoundTrips)
{
    auto out = wide_to_mb(936, L"\u4e2d\u6587x");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), 5u);
    auto back = mb_to_wide(936, *out, true);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, L"\u4e2d\u6587x");
}

TEST(WinCodepage, AnsiPageFollowsTheProcessSetting)
{
    acp_guard guard;
    set_acp(1252);
    EXPECT_EQ(get_acp(), 1252u);
    auto out = wide_to_mb(CP_ACP, L"\u00e9\u4e2d");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "\xe9?");
    set_acp(CP_UTF8);
    out = wide_to_mb(CP_THREAD_ACP, L"\u00e9");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, "\xc3\xa9");
}

TEST(WinCodepage, UnknownPageFailsWithInvalidParameter)
{
    SetLastError(0);
    EXPECT_FALSE(wide_to_mb(12345, L"x"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(mb_to_wide(12345, "x", false));
}

TEST(WinCodepage, Utf16UsesSurrogatePairs)
{
    std::u16string u = to_utf16le(k_mixed);
    ASSERT_EQ(u.size(), 5u);
    EXPECT_EQ(u[3], 0xD83D);
    EXPECT_EQ(u[4], 0xDE00);
    EXPECT_EQ(from_utf16le(u), k_mixed);
    std::u16string lone = {u'a', static_cast<char16_t>(0xDC00), u'b'};
    EXPECT_EQ(from_utf16le(lone), L"a\uFFFDb");
}
