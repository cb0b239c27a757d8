// DECIMAL, currency and number text: the conversions that corrupt data when wrong.
#include "platform/oleaut/oleauto.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

namespace {

std::wstring take(BSTR b)
{
    std::wstring s(b ? b : L"", SysStringLen(b));
    SysFreeString(b);
    return s;
}

std::wstring dec_text(const DECIMAL& d)
{
    BSTR b = nullptr;
    EXPECT_EQ(VarBstrFromDec(&d, LOCALE_USER_DEFAULT, 0, &b), S_OK);
    return take(b);
}

} // namespace

TEST(DecimalText, RoundTripsValueByValue)
{
    struct row {
        const wchar_t* in;
        const wchar_t* out; // VarBstrFromDec of the parsed value
        int scale;
    };
    const row rows[] = {
        {L"0", L"0", 0},
        {L"0.00", L"0.00", 2},
        {L"1.50", L"1.50", 2},
        {L"-1.5", L"-1.5", 1},
        {L"1234.5678", L"1234.5678", 4},
        {L"-0.0001", L"-0.0001", 4},
        {L"1,234,567.5", L"1234567.5", 1},
        {L"  42  ", L"42", 0},
        {L"+7", L"7", 0},
        {L"(5.25)", L"-5.25", 2},
        {L"5-", L"-5", 0},
        {L"1.5e3", L"1500", 0},
        {L"1.5E-3", L"0.0015", 4},
        {L"79228162514264337593543950335", L"79228162514264337593543950335", 0},
        {L"-79228162514264337593543950335", L"-79228162514264337593543950335", 0},
        {L"0.0000000000000000000000000001", L"0.0000000000000000000000000001", 28},
        {L"7.9228162514264337593543950335", L"7.9228162514264337593543950335", 28},
        {L"1.2345678901234567890123456789", L"1.2345678901234567890123456789", 28},
        // 29 digits above the 96-bit limit lose the last place, rounded half to even.
        {L"9.9999999999999999999999999999", L"10.000000000000000000000000000", 27},
        {L"7.92281625142643375935439503345", L"7.9228162514264337593543950334", 28},
        {L"7.92281625142643375935439503355", L"7.922816251426433759354395034", 27},
        // Beyond 28 places: half to even at the 28th.
        {L"0.00000000000000000000000000005", L"0.0000000000000000000000000000", 28},
        {L"0.00000000000000000000000000015", L"0.0000000000000000000000000002", 28},
        {L"0.000000000000000000000000000251", L"0.0000000000000000000000000003", 28},
        {L"12345678901234567890.123456789", L"12345678901234567890.123456789", 9},
    };
    for (const row& r : rows) {
        DECIMAL d{};
        ASSERT_EQ(VarDecFromStr(r.in, 1033, 0, &d), S_OK) << r.in;
        EXPECT_EQ(d.scale, r.scale) << r.in;
        EXPECT_EQ(dec_text(d), r.out) << r.in;
        // The printed text reads back as the same DECIMAL.
        DECIMAL again{};
        ASSERT_EQ(VarDecFromStr(dec_text(d).c_str(), 1033, 0, &again), S_OK);
        EXPECT_EQ(again.Lo64, d.Lo64);
        EXPECT_EQ(again.Hi32, d.Hi32);
        EXPECT_EQ(again.scale, d.scale);
        EXPECT_EQ(again.sign, d.sign);
    }
}

TEST(DecimalText, RefusesBadTextAndOverflow)
{
    const wchar_t* bad[] = {L"",     L"abc", L"1..2", L"1,", L",1",  L"1e",    L"--1", L"1 2",
                            L"0x10", L"inf", L"nan",  L"(1", L"+-1", L"1.2.3", L"$5"};
    for (const wchar_t* s : bad) {
        DECIMAL d = {};
        d.Lo64 = 77;
        EXPECT_EQ(VarDecFromStr(s, 1033, 0, &d), DISP_E_TYPEMISMATCH) << s;
        EXPECT_EQ(d.Lo64, 77u) << "output written on failure: " << s;
    }
    const wchar_t* big[] = {L"79228162514264337593543950336", L"-79228162514264337593543950336",
                            L"100000000000000000000000000000", L"1e29", L"1e400"};
    for (const wchar_t* s : big) {
        DECIMAL d{};
        EXPECT_EQ(VarDecFromStr(s, 1033, 0, &d), DISP_E_OVERFLOW) << s;
    }
    DECIMAL tiny{};
    ASSERT_EQ(VarDecFromStr(L"1e-400", 1033, 0, &tiny), S_OK);
    EXPECT_EQ(dec_text(tiny), L"0.0000000000000000000000000000");

    DECIMAL bad_scale{};
    bad_scale.scale = 29;
    BSTR b = nullptr;
    EXPECT_EQ(VarBstrFromDec(&bad_scale, 0x400, 0, &b), E_INVALIDARG);
    EXPECT_EQ(b, nullptr);
}

TEST(DecimalToInteger, HalfToEvenAndRange)
{
    struct row {
        const wchar_t* in;
        HRESULT hr;
        LONG value;
    };
    const row rows[] = {
        {L"1.5", S_OK, 2},
        {L"2.5", S_OK, 2},
        {L"-2.5", S_OK, -2},
        {L"-3.5", S_OK, -4},
        {L"2.5000001", S_OK, 3},
        {L"0.4999", S_OK, 0},
        {L"2147483647", S_OK, 2147483647},
        {L"2147483646.5", S_OK, 2147483646},
        {L"2147483647.5", DISP_E_OVERFLOW, 0},
        {L"-2147483648.5", S_OK, -2147483648},
        {L"-2147483649", DISP_E_OVERFLOW, 0},
    };
    for (const row& r : rows) {
        DECIMAL d{};
        ASSERT_EQ(VarDecFromStr(r.in, 1033, 0, &d), S_OK);
        LONG v = 12345;
        EXPECT_EQ(VarI4FromDec(&d, &v), r.hr) << r.in;
        EXPECT_EQ(v, r.hr == S_OK ? r.value : 12345) << r.in;
    }
    DECIMAL d{};
    ASSERT_EQ(VarDecFromStr(L"9223372036854775807.4", 1033, 0, &d), S_OK);
    LONGLONG i8 = 0;
    EXPECT_EQ(VarI8FromDec(&d, &i8), S_OK);
    EXPECT_EQ(i8, INT64_MAX);
    ASSERT_EQ(VarDecFromStr(L"9223372036854775807.5", 1033, 0, &d), S_OK);
    EXPECT_EQ(VarI8FromDec(&d, &i8), DISP_E_OVERFLOW);
    ASSERT_EQ(VarDecFromStr(L"18446744073709551615", 1033, 0, &d), S_OK);
    ULONGLONG u8 = 0;
    EXPECT_EQ(VarUI8FromDec(&d, &u8), S_OK);
    EXPECT_EQ(u8, UINT64_MAX);
    ASSERT_EQ(VarDecFromStr(L"-0.5", 1033, 0, &d), S_OK);
    EXPECT_EQ(VarUI8FromDec(&d, &u8), S_OK);
    EXPECT_EQ(u8, 0u);
    ASSERT_EQ(VarDecFromStr(L"-1", 1033, 0, &d), S_OK);
    EXPECT_EQ(VarUI4FromDec(&d, nullptr), E_INVALIDARG);
    ULONG u4 = 0;
    EXPECT_EQ(VarUI4FromDec(&d, &u4), DISP_E_OVERFLOW);
    SHORT i2 = 0;
    ASSERT_EQ(VarDecFromStr(L"32767.49", 1033, 0, &d), S_OK);
    EXPECT_EQ(VarI2FromDec(&d, &i2), S_OK);
    EXPECT_EQ(i2, 32767);
    USHORT ui2 = 0;
    ASSERT_EQ(VarDecFromStr(L"65535.5", 1033, 0, &d), S_OK);
    EXPECT_EQ(VarUI2FromDec(&d, &ui2), DISP_E_OVERFLOW);

    DECIMAL from{};
    ASSERT_EQ(VarDecFromI8(INT64_MIN, &from), S_OK);
    EXPECT_EQ(dec_text(from), L"-9223372036854775808");
    ASSERT_EQ(VarDecFromUI8(UINT64_MAX, &from), S_OK);
    EXPECT_EQ(dec_text(from), L"18446744073709551615");
}

TEST(DecimalToDouble, NearestDouble)
{
    struct row {
        const wchar_t* in;
        double value;
    };
    const row rows[] = {{L"0.1", 0.1},
                        {L"-123.456", -123.456},
                        {L"79228162514264337593543950335", 79228162514264337593543950335.0},
                        {L"0.0000000000000000000000000001", 1e-28},
                        {L"9007199254740993", 9007199254740992.0}};
    for (const row& r : rows) {
        DECIMAL d{};
        ASSERT_EQ(VarDecFromStr(r.in, 1033, 0, &d), S_OK);
        double v = 0;
        ASSERT_EQ(VarR8FromDec(&d, &v), S_OK);
        EXPECT_EQ(v, r.value) << r.in;
    }
}

TEST(Currency, TextRoundingRangeAndPrinting)
{
    struct row {
        const wchar_t* in;
        HRESULT hr;
        long long scaled;
    };
    const row rows[] = {
        {L"12.5", S_OK, 125000},
        {L"12.34565", S_OK, 123456}, // half to even: 6 stays
        {L"12.34575", S_OK, 123458}, // 7 goes up
        {L"12.345651", S_OK, 123457},
        {L"-12.34565", S_OK, -123456},
        {L"0.00005", S_OK, 0},
        {L"0.00015", S_OK, 2},
        {L"922337203685477.5807", S_OK, INT64_MAX},
        {L"-922337203685477.5808", S_OK, INT64_MIN},
        {L"922337203685477.5808", DISP_E_OVERFLOW, 0},
        {L"922337203685477.58075", DISP_E_OVERFLOW, 0},
        {L"922337203685477.58074", S_OK, INT64_MAX},
        {L"1,000.25", S_OK, 10002500},
        {L"x", DISP_E_TYPEMISMATCH, 0},
    };
    for (const row& r : rows) {
        CY cy{};
        cy.int64 = 99;
        EXPECT_EQ(VarCyFromStr(r.in, 1033, 0, &cy), r.hr) << r.in;
        EXPECT_EQ(cy.int64, r.hr == S_OK ? r.scaled : 99) << r.in;
    }

    struct print_row {
        long long scaled;
        const wchar_t* text;
    };
    const print_row prints[] = {{125000, L"12.5"},   {50000, L"5"},  {-5000, L"-0.5"},
                                {0, L"0"},           {1, L"0.0001"}, {INT64_MIN, L"-922337203685477.5808"},
                                {123456, L"12.3456"}};
    for (const print_row& p : prints) {
        CY cy{};
        cy.int64 = p.scaled;
        BSTR b = nullptr;
        ASSERT_EQ(VarBstrFromCy(cy, 1033, 0, &b), S_OK);
        EXPECT_EQ(take(b), p.text);
    }

    // Whole units round half to even.
    struct whole_row {
        long long scaled;
        LONGLONG whole;
    };
    const whole_row wholes[] = {{25000, 2}, {35000, 4}, {-25000, -2}, {-35000, -4}, {24999, 2}, {5001, 1}};
    for (const whole_row& w : wholes) {
        CY cy{};
        cy.int64 = w.scaled;
        LONGLONG i8 = 0;
        LONG i4 = 0;
        ASSERT_EQ(VarI8FromCy(cy, &i8), S_OK);
        ASSERT_EQ(VarI4FromCy(cy, &i4), S_OK);
        EXPECT_EQ(i8, w.whole);
        EXPECT_EQ(i4, w.whole);
    }
    CY neg{};
    neg.int64 = -10000;
    ULONGLONG u8 = 7;
    EXPECT_EQ(VarUI8FromCy(neg, &u8), DISP_E_OVERFLOW);
    EXPECT_EQ(u8, 7u);
    CY big{};
    big.int64 = INT64_MAX;
    LONG i4 = 0;
    EXPECT_EQ(VarI4FromCy(big, &i4), DISP_E_OVERFLOW);
    double r8 = 0;
    ASSERT_EQ(VarR8FromCy(big, &r8), S_OK);
    EXPECT_EQ(r8, 922337203685477.5807);
    CY cent{};
    cent.int64 = 1234567;
    ASSERT_EQ(VarR8FromCy(cent, &r8), S_OK);
    EXPECT_EQ(r8, 123.4567);

    // Doubles round as their shortest text reads.
    CY from_r8{};
    ASSERT_EQ(VarCyFromR8(2.00025, &from_r8), S_OK);
    EXPECT_EQ(from_r8.int64, 20002);
    ASSERT_EQ(VarCyFromR8(0.1, &from_r8), S_OK);
    EXPECT_EQ(from_r8.int64, 1000);
    EXPECT_EQ(VarCyFromR8(1e15, &from_r8), DISP_E_OVERFLOW);
    EXPECT_EQ(VarCyFromR8(NAN, &from_r8), DISP_E_OVERFLOW);
}

TEST(DecimalFromDouble, FifteenSignificantDigits)
{
    struct row {
        double in;
        const wchar_t* text;
    };
    const row rows[] = {{1.5, L"1.5"},
                        {0.1, L"0.1"},
                        {100.0, L"100"},
                        {1.0 / 3.0, L"0.333333333333333"},
                        {-2.5e-10, L"-0.00000000025"},
                        {123456789012345678.0, L"123456789012346000"}};
    for (const row& r : rows) {
        DECIMAL d{};
        ASSERT_EQ(VarDecFromR8(r.in, &d), S_OK);
        EXPECT_EQ(dec_text(d), r.text);
    }
    DECIMAL d{};
    EXPECT_EQ(VarDecFromR8(1e30, &d), DISP_E_OVERFLOW);
}
