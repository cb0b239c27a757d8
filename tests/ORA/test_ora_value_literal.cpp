// A value's literal taken straight from the value is the text the general path
// gives: the value's own text form, read back and written as a literal.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "OLE/ole_bool_map.h"
#include "ORA/ora_text.h"
#include "ORA/ora_util.h"
#include "TK/tk_text.h"
#include "UDB/udb_field.h"
#include "platform/win32/win_codepage.h"

namespace {

// The general path, which every value took before the direct forms.
std::wstring general_literal(const udb_field& field, bool quote)
{
    const VARTYPE vt = field.get_type();
    return to_oracle_str(field.to_wstring(), vt, quote);
}

void expect_general(const udb_field& field)
{
    for (bool quote : {true, false}) {
        const std::wstring general = general_literal(field, quote);
        EXPECT_EQ(to_oracle_str(&field, quote), general)
            << "vt " << field.get_type() << ", value '" << to_utf8(field.to_wstring()) << "', quote " << quote;
    }
}

udb_field field_of(const ole_variant& v) { return udb_field(L"F", 0, v); }

template <class T>
void expect_integers(const std::vector<T>& values)
{
    for (T v : values) expect_general(field_of(ole_variant(v)));
}

template <class T>
std::vector<T> integer_cases(std::mt19937_64& rng, int random_count)
{
    using lim = std::numeric_limits<T>;
    std::vector<T> v = {lim::min(), lim::max(), T(0), T(1), T(9), T(10), T(99), T(100)};
    if constexpr (lim::is_signed) v.insert(v.end(), {T(-1), T(-9), T(-10), T(lim::min() + 1)});
    std::uniform_int_distribution<long long> any(static_cast<long long>(lim::min() / 2),
                                                 static_cast<long long>(lim::max() / 2));
    for (int i = 0; i < random_count; ++i) {
        v.push_back(static_cast<T>(rng()));
        v.push_back(static_cast<T>(any(rng)));
    }
    return v;
}

SYSTEMTIME parts(int y, int mo, int d, int h, int mi, int s, int ms)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

udb_field text_field(const std::wstring& text) { return field_of(ole_variant(text)); }

} // namespace

TEST(OraValueLiteral, IntegersOfEveryWidthAsBefore)
{
    std::mt19937_64 rng(7);
    std::vector<char> i1;
    for (int c = -128; c <= 127; ++c) i1.push_back(static_cast<char>(c));
    expect_integers(i1);
    std::vector<BYTE> ui1;
    for (int c = 0; c <= 255; ++c) ui1.push_back(static_cast<BYTE>(c));
    expect_integers(ui1);
    expect_integers(integer_cases<short>(rng, 500));
    expect_integers(integer_cases<unsigned short>(rng, 500));
    expect_integers(integer_cases<int>(rng, 500));
    expect_integers(integer_cases<unsigned int>(rng, 500));
    expect_integers(integer_cases<long long>(rng, 500));
    expect_integers(integer_cases<unsigned long long>(rng, 500));
    // VT_INT and VT_UINT have no constructor of their own.
    for (int v : integer_cases<int>(rng, 200)) {
        udb_field f = field_of(ole_variant());
        f.value.vt = VT_INT;
        f.value.intVal = v;
        expect_general(f);
        f.value.vt = VT_UINT;
        f.value.uintVal = static_cast<UINT>(v);
        expect_general(f);
    }
    EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(field_of(ole_variant(-32768))), true), L"-32768");
}

TEST(OraValueLiteral, BooleansInBothMapsAsBefore)
{
    const VARIANT_BOOL values[] = {VARIANT_TRUE, VARIANT_FALSE, 1, 5, -2};
    auto check = [&] {
        for (VARIANT_BOOL b : values) {
            udb_field f = field_of(ole_variant(true));
            f.value.boolVal = b;
            expect_general(f);
        }
    };
    check();
    {
        ole_bool_map ms(1);
        check();
        EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(field_of(ole_variant(true))), true), L"-1");
    }
    {
        ole_bool_map ansi(0);
        check();
        EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(field_of(ole_variant(true))), true), L"1");
    }
}

TEST(OraValueLiteral, DatesInAndOutOfRangeAsBefore)
{
    std::vector<SYSTEMTIME> cases = {
        parts(2024, 1, 2, 0, 0, 0, 0),        parts(2024, 1, 2, 0, 0, 0, 1),
        parts(2024, 12, 31, 23, 59, 59, 998), parts(2024, 2, 29, 12, 0, 0, 0),
        parts(1, 1, 1, 0, 0, 0, 0),           parts(9999, 12, 31, 23, 59, 59, 999),
        parts(10000, 1, 1, 0, 0, 0, 0),       parts(99, 1, 1, 0, 0, 0, 0),
        parts(49, 6, 15, 1, 2, 3, 4),         parts(0, 0, 0, 13, 14, 15, 0),
        parts(0, 0, 0, 13, 14, 15, 160),      parts(0, 0, 0, 0, 0, 0, 0),
        parts(2024, 0, 1, 0, 0, 0, 0),        parts(2024, 13, 1, 0, 0, 0, 0),
        parts(2024, 2, 31, 0, 0, 0, 0),       parts(2024, 1, 32, 0, 0, 0, 0),
        parts(31, 1, 32, 0, 0, 0, 0),         parts(2024, 1, 1, 24, 0, 0, 0),
        parts(2024, 1, 1, 60, 60, 60, 0),     parts(2024, 1, 1, 61, 0, 0, 0),
        parts(2024, 1, 1, 0, 0, 0, 999),      parts(2024, 1, 1, 0, 0, 0, 1000),
        parts(2024, 1, 1, 0, 0, 1, 0),        parts(2024, 1, 1, 0, 1, 0, 0),
        parts(2024, 1, 1, 12, 0, 0, 0),       parts(65535, 65535, 65535, 65535, 65535, 65535, 65535),
        parts(2024, 1, 0, 10, 0, 0, 0),       parts(0, 1, 1, 10, 0, 0, 0),
    };
    std::mt19937 rng(11);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < 20000; ++i) {
        // Mostly valid parts, with every edge of each range and some beyond.
        const bool wild = i % 5 == 0;
        cases.push_back(parts(wild ? pick(0, 12000) : pick(1, 9999), wild ? pick(0, 14) : pick(1, 12),
                              wild ? pick(0, 33) : pick(1, 31), i % 3 == 0 ? 0 : pick(0, wild ? 62 : 23),
                              i % 3 == 0 ? 0 : pick(0, wild ? 62 : 59), i % 3 == 0 ? 0 : pick(0, wild ? 62 : 59),
                              i % 2 == 0 ? 0 : pick(0, wild ? 1100 : 999)));
    }
    for (const SYSTEMTIME& st : cases) expect_general(field_of(ole_variant(st)));
    EXPECT_EQ(
        to_oracle_str(&static_cast<const udb_field&>(field_of(ole_variant(parts(2024, 3, 4, 5, 6, 7, 80)))), true),
        L"to_timestamp('2024-03-04 05:06:07.080', 'YYYY-MM-DD HH24:MI:SS.FF3')");
}

TEST(OraValueLiteral, TextWithQuotesNonAsciiAndGuidKeywordsAsTheyAre)
{
    const std::wstring guid = L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
    std::vector<std::wstring> texts = {
        L"",
        L"a",
        L"'",
        L"''",
        L"O'Brien",
        L"'quoted'",
        L"Ger\u00e4t Nr. 12",
        L"\u4e2d\u6587 '\u00e9'",
        L"\U0001F600 smile",
        std::wstring(L"nul\0inside", 10),
        L"  padded  ",
        L"guid" + guid,
        L"GUID" + guid,
        L" guid" + guid + L" ",
        guid,
        L"guid" + guid + L"1234",
        std::wstring(35, L'x'),
        std::wstring(36, L'x'),
        std::wstring(37, L'\''),
        std::wstring(45, L'y'),
        std::wstring(46, L'y'),
        std::wstring(5000, L'\u00fc'),
    };
    for (size_t n = 30; n <= 48; ++n) {
        texts.push_back(std::wstring(n, L'g'));
        texts.push_back(std::wstring(n > 42 ? n - 42 : 0, L' ') + L"guid" + guid);
    }
    for (const std::wstring& t : texts) expect_general(text_field(t));
    udb_field null_text = field_of(ole_variant());
    null_text.value.vt = VT_BSTR;
    null_text.value.bstrVal = nullptr;
    expect_general(null_text);
    EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(text_field(L"it's")), true), L"'it''s'");
    EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(text_field(L"guid" + guid)), true), L"'guid" + guid + L"'");
}

TEST(OraValueLiteral, CurrencyAndDecimalsOfEveryScaleAsBefore)
{
    std::mt19937_64 rng(13);
    std::vector<long long> cys = integer_cases<long long>(rng, 1000);
    for (long long v : {10000LL, -10000LL, 50000LL, 123450LL, -5LL, 100LL, 99990000LL, -1230000LL}) cys.push_back(v);
    for (long long v : cys) {
        CY cy{};
        cy.int64 = v;
        expect_general(field_of(ole_variant(cy)));
    }
    CY money{};
    money.int64 = 50500; // 5.05
    EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(field_of(ole_variant(money))), true), L"5.05");

    udb_field dec = field_of(ole_variant::from_wstring(L"0", VT_DECIMAL));
    auto check_decimal = [&](ULONG hi, ULONGLONG lo, BYTE scale, BYTE sign) {
        dec.value.decVal.Hi32 = hi;
        dec.value.decVal.Lo64 = lo;
        dec.value.decVal.scale = scale;
        dec.value.decVal.sign = sign;
        expect_general(dec);
    };
    const ULONG his[] = {0, 1, 0xFFFFFFFF};
    const ULONGLONG los[] = {0, 1, 5, 10, 150005, 999999999999ULL, 0xFFFFFFFFFFFFFFFFULL};
    for (int scale = 0; scale <= 30; ++scale)
        for (ULONG hi : his)
            for (ULONGLONG lo : los)
                for (BYTE sign : {BYTE(0), DECIMAL_NEG}) {
                    check_decimal(hi, lo, static_cast<BYTE>(scale), sign);
                    check_decimal(static_cast<ULONG>(rng()), rng(), static_cast<BYTE>(scale), sign);
                    check_decimal(0, rng() % 100000, static_cast<BYTE>(scale), sign);
                }
    check_decimal(0, 150005, 4, 0);
    EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(dec), true), L"15.0005");
    check_decimal(0, 0, 2, DECIMAL_NEG);
    EXPECT_EQ(to_oracle_str(&static_cast<const udb_field&>(dec), true), L"0.00");
}

TEST(OraValueLiteral, NullsAndOtherTypesAsBefore)
{
    udb_field null_field = field_of(ole_variant());
    expect_general(null_field);
    null_field.value.vt = VT_NULL;
    expect_general(null_field);
    expect_general(field_of(ole_variant(12.5)));
    expect_general(field_of(ole_variant(-0.25f)));
    const BYTE bytes[] = {0x00, 0xFF, 0x10};
    expect_general(field_of(ole_variant(bytes, sizeof bytes)));
    expect_general(field_of(ole_variant::from_wstring(L"-123456789.125", VT_DECIMAL)));
}

TEST(OraText, ConversionForOciMatchesThePlatformOne)
{
    std::wstring text = L"plain ascii, \u00e9\u4e2d\uFFFF\U0001F600\U0010FFFF";
    for (wchar_t c : {wchar_t(0xD7FF), wchar_t(0xD800), wchar_t(0xDBFF), wchar_t(0xDC00), wchar_t(0xDFFF),
                      wchar_t(0xE000), wchar_t(0x10000), wchar_t(0x110000), wchar_t(-1), wchar_t(0)})
        text.push_back(c);
    std::u16string buffer = u"left over from before";
    ora_to_u16(text, buffer);
    EXPECT_EQ(buffer, to_utf16le(text));
    EXPECT_EQ(ora_to_u16(text), to_utf16le(text));
    ora_to_u16(std::wstring_view(), buffer);
    EXPECT_TRUE(buffer.empty());
}
