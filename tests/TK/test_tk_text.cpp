#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "TK/tk_text.h"
#include "platform/win32/win_codepage.h"

namespace {
struct acp_guard {
    UINT saved = get_acp();
    ~acp_guard() { set_acp(saved); }
};
} // namespace

TEST(TkText, Utf8ConversionsRoundTrip)
{
    const std::wstring w = L"\u00e9\u4e2d\U0001F600";
    EXPECT_EQ(to_utf8(w), "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80");
    EXPECT_EQ(to_unicode(to_utf8(w)), w);
    // Conversions stop at the first NUL.
    EXPECT_EQ(to_utf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(to_unicode(std::string("ab\0cd", 5)), L"ab");
}

TEST(TkText, InvalidUtf8ThrowsLevelZeroWithTheCode)
{
    try {
        to_unicode(std::string("\xc3\x28"));
        FAIL() << "no exception";
    } catch (const tk_exception_ex& e) {
        EXPECT_EQ(e.level, 0);
        EXPECT_EQ(e.code, 1113u);
        EXPECT_EQ(e.message,
                  "Cannot convert to UNICODE string: No mapping for the Unicode character exists in the "
                  "target multi-byte code page.\r\n");
    }
}

TEST(TkText, AnsiConversionsFollowThePage)
{
    acp_guard guard;
    set_acp(1252);
    EXPECT_EQ(to_ansi(L"\u4e2d"), "?");
    EXPECT_EQ(to_ansi(L"caf\u00e9"), "caf\xe9");
    EXPECT_EQ(to_unicode(std::string("caf\xe9"), -1), L"caf\u00e9");
    EXPECT_EQ(to_ansi(L"\u4e2d\u6587", 936).size(), 4u);
    std::string narrow;
    EXPECT_TRUE(w2a(L"\u00e9", narrow));
    EXPECT_EQ(narrow, "\xe9");
    std::wstring wide;
    EXPECT_TRUE(a2w("\xe9", wide));
    EXPECT_EQ(wide, L"\u00e9");
    EXPECT_FALSE(w2a(nullptr, narrow));
    EXPECT_FALSE(a2w(nullptr, wide));
    EXPECT_THROW(to_ansi(L"x", 12345), tk_exception_ex);
}

TEST(TkText, TrimmingTouchesBlanksOnly)
{
    EXPECT_EQ(tk_trim(std::string("  a b  ")), "a b");
    EXPECT_EQ(tk_trim(std::wstring(L"  a b  ")), L"a b");
    EXPECT_EQ(tk_trim_left(std::string("\tx ")), "\tx ");
    EXPECT_EQ(tk_trim_right(std::wstring(L" x\r\n")), L" x\r\n");
    EXPECT_EQ(tk_trim(std::string("   ")), "");
    EXPECT_EQ(tk_trim_right(std::wstring(L"   ")), L"");
}

TEST(TkText, CaseInsensitiveCompareAndFind)
{
    EXPECT_EQ(tk_compare_no_case("Table", "TABLE"), 0);
    EXPECT_EQ(tk_compare_no_case("a", "B"), -1);
    EXPECT_EQ(tk_compare_no_case("\xc3\xa9t\xc3\xa9", "\xc3\x89T\xc3\x89"), 0);
    EXPECT_EQ(tk_find_no_case(L"aXxb", L"xx", 0, 2), 1);
    EXPECT_EQ(tk_find_no_case(L"aXxb", L"xx", 3, 2), -1);
    EXPECT_EQ(tk_find_no_case(L"abc", L"", 3, 0), 3);
    EXPECT_EQ(tk_find_no_case(L"abc", L"", 4, 0), -1);
    EXPECT_EQ(tk_find_no_case(L"abcabc", L"c", 0, 2), -1);
    EXPECT_EQ(tk_find_no_case(L"caf\u00c9 ok", L"\u00e9 O", 0, 3), 3);
}

TEST(TkText, HexDigitsAreUpperCase)
{
    const unsigned char bytes[] = {0x0F, 0xA0};
    char out[5] = {'x', 'x', 'x', 'x', 'x'};
    bin_to_hex(2, bytes, out);
    EXPECT_STREQ(out, "0FA0");
    bin_to_hex(0, bytes, out);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(bin_to_hex(bytes, 2), "0FA0");
    EXPECT_THROW(bin_to_hex(2, bytes, nullptr), tk_mail_assertion);
}
