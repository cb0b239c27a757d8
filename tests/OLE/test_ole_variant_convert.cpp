// from_string, from_wstring and change_type across the types.
#include "OLE/ole_variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::vector<BYTE> bytes_of(const ole_variant& v)
{
    BYTE* data = nullptr;
    const size_t n = v.get_bytes(&data);
    return std::vector<BYTE>(data, data + n);
}

ole_variant changed(ole_variant v, VARTYPE vt)
{
    v.change_type(vt);
    return v;
}

} // namespace

TEST(OleVariantFromString, Integers)
{
    EXPECT_EQ(ole_variant::from_string("", VT_I4).value.vt, VT_EMPTY);
    const ole_variant empty_text = ole_variant::from_string("", VT_BSTR);
    EXPECT_EQ(empty_text.value.vt, VT_BSTR);
    EXPECT_EQ(empty_text.to_wstring(), L"");

    struct row {
        const char* text;
        VARTYPE vt;
        VARTYPE got;
        const char* printed;
    };
    const row rows[] = {
        {"42", VT_I4, VT_I4, "42"},
        {"  -42xyz", VT_I4, VT_I4, "-42"},
        {"abc", VT_I4, VT_I4, "0"},
        {"2147483647", VT_I4, VT_I4, "2147483647"},
        {"2147483648", VT_I4, VT_EMPTY, ""},
        {"99999999999999999999", VT_I4, VT_EMPTY, ""},
        {"255", VT_UI1, VT_UI1, "255"},
        {"300", VT_UI1, VT_EMPTY, ""},
        {"-1", VT_UI1, VT_EMPTY, ""},
        {"-128", VT_I1, VT_I1, "-128"},
        {"128", VT_I1, VT_EMPTY, ""},
        {"-32768", VT_I2, VT_I2, "-32768"},
        {"65535", VT_UI2, VT_UI2, "65535"},
        {"65536", VT_UI2, VT_EMPTY, ""},
        {"4294967295", VT_UI4, VT_UI4, "4294967295"},
        {"4294967296", VT_UI4, VT_EMPTY, ""},
        {"-1", VT_UI4, VT_EMPTY, ""},
        {"x", VT_UI4, VT_UI4, "0"},
        {"-9223372036854775808", VT_I8, VT_I8, "-9223372036854775808"},
        {"9223372036854775808", VT_I8, VT_EMPTY, ""},
        {"18446744073709551615", VT_UI8, VT_UI8, "18446744073709551615"},
        {"18446744073709551616", VT_UI8, VT_EMPTY, ""},
        {"-5", VT_UI8, VT_EMPTY, ""},
    };
    for (const row& r : rows) {
        const ole_variant v = ole_variant::from_string(r.text, r.vt);
        EXPECT_EQ(v.value.vt, r.got) << r.text;
        EXPECT_EQ(v.to_string(), r.printed) << r.text;
    }
}

TEST(OleVariantFromString, RealsCurrencyDecimalAndBooleans)
{
    EXPECT_EQ(ole_variant::from_string("12,5", VT_R8).value.dblVal, 12.5);
    EXPECT_EQ(ole_variant::from_string("1e3x", VT_R8).value.dblVal, 1000.0);
    EXPECT_EQ(ole_variant::from_string("0x10", VT_R8).value.dblVal, 0.0);
    EXPECT_EQ(ole_variant::from_string("inf", VT_R8).value.dblVal, 0.0);
    EXPECT_EQ(ole_variant::from_string("1e999", VT_R8).value.dblVal, HUGE_VAL);
    EXPECT_EQ(ole_variant::from_string("0.1", VT_R8).value.dblVal, 0.1);
    EXPECT_EQ(ole_variant::from_string("1e300", VT_R4).value.vt, VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("3.5e38", VT_R4).value.vt, VT_EMPTY);
    // The largest float as SQL Server prints it lies a little above FLT_MAX, yet is FLT_MAX.
    const ole_variant max_real = ole_variant::from_string("-3.4028235E+38", VT_R4);
    ASSERT_EQ(max_real.value.vt, VT_R4);
    EXPECT_EQ(max_real.value.fltVal, -std::numeric_limits<float>::max());
    EXPECT_EQ(ole_variant::from_string("0.5", VT_R4).to_string(), "5.000000e-001");

    const ole_variant dec = ole_variant::from_string("1,5", VT_DECIMAL);
    ASSERT_EQ(dec.value.vt, VT_DECIMAL);
    EXPECT_EQ(dec.value.decVal.scale, 1);
    EXPECT_EQ(dec.to_string(), "1.5");
    struct row {
        const char* text;
        const char* printed;
    };
    const row decimals[] = {
        {"0", "0"},
        {"123.4500", "123.4500"},
        {"-0.0001", "-0.0001"},
        {"79228162514264337593543950335", "79228162514264337593543950335"},
        {"-79228162514264337593543950335", "-79228162514264337593543950335"},
        {"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
        {"1234567890123456789012345678.9", "1234567890123456789012345678.9"},
        {"79228162514264337593543950336", ""},
        {"abc", ""},
    };
    for (const row& r : decimals)
        EXPECT_EQ(ole_variant::from_string(r.text, VT_DECIMAL).to_string(), r.printed) << r.text;

    const row currencies[] = {
        {"12.5", "12.5"},
        {"12,34565", "12.3456"},
        {"-0.00005", "0"},
        {"922337203685477.5807", "922337203685477.5807"},
        {"922337203685477.5808", ""},
        {"5", "5"},
        {"x", ""},
    };
    for (const row& r : currencies) EXPECT_EQ(ole_variant::from_string(r.text, VT_CY).to_string(), r.printed) << r.text;

    struct bool_row {
        const char* text;
        bool value;
    };
    const bool_row bools[] = {
        {"TRUE", true}, {"Yes", true}, {"yes", true},  {"No", false}, {"false", false},
        {"2", true},    {"0", false},  {"abc", false}, {"-1", true},  {"99999999999999999999", true}};
    for (const bool_row& b : bools) {
        const ole_variant v = ole_variant::from_string(b.text, VT_BOOL);
        EXPECT_EQ(v.value.vt, VT_BOOL) << b.text;
        EXPECT_EQ(v.to_bool(), b.value) << b.text;
    }
}

TEST(OleVariantFromString, DatesBinaryAndOthers)
{
    const ole_variant date = ole_variant::from_string("2016-12-31 23:59:59.997", VT_DATE);
    ASSERT_EQ(date.value.vt, VT_DATE);
    EXPECT_EQ(date.to_string(), "2016-12-31 23:59:59.997");
    EXPECT_EQ(ole_variant::from_string("not a date", VT_DATE).value.vt, VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("1753-01-01", VT_DATE).to_string(), "1753-01-01");

    EXPECT_EQ(bytes_of(ole_variant::from_string("0x0a0b", VT_BLOB)), (std::vector<BYTE>{0x0a, 0x0b}));
    EXPECT_EQ(bytes_of(ole_variant::from_string("0x0A0B", VT_BLOB)), (std::vector<BYTE>{0x0a, 0x0b}));
    EXPECT_EQ(bytes_of(ole_variant::from_string("\\XfF00", VT_BYTE_ARRAY)), (std::vector<BYTE>{0xff, 0x00}));
    EXPECT_EQ(bytes_of(ole_variant::from_string("0a0b", VT_BLOB_OBJECT)), (std::vector<BYTE>{0x0a, 0x0b}));
    EXPECT_EQ(ole_variant::from_string("0a0", VT_BLOB).value.vt, VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("0x0g", VT_BLOB).value.vt, VT_EMPTY);
    const ole_variant bare_prefix = ole_variant::from_string("0x", VT_BLOB);
    EXPECT_EQ(bare_prefix.value.vt, VT_BYTE_ARRAY);
    EXPECT_EQ(bare_prefix.get_bytes(nullptr), 0u);
    // The system's own hex text reads back.
    const BYTE raw[] = {0x00, 0x7F, 0x80, 0xFF, 0x10};
    const ole_variant bin(raw, 5);
    EXPECT_EQ(bytes_of(ole_variant::from_string(bin.to_string(), VT_BLOB)), bytes_of(bin));

    // Other targets go through the platform conversion.
    EXPECT_EQ(ole_variant::from_string("12", VT_INT).value.vt, VT_INT);
    EXPECT_EQ(ole_variant::from_string("text", VT_BSTR).to_wstring(), L"text");
    EXPECT_THROW(ole_variant::from_string("abc", VT_ERROR), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("abc", VT_INT), ole_type_exception);

    EXPECT_EQ(ole_variant::from_wstring(L"5", VT_I4).value.lVal, 5);
    const std::wstring with_nul(L"x\0y", 3);
    EXPECT_EQ(ole_variant::from_wstring(with_nul, VT_BSTR).to_wstring(), with_nul);
    EXPECT_EQ(ole_variant::from_wstring(L"1,5", VT_DECIMAL).to_wstring(), L"1.5");
}

TEST(OleVariantChangeType, FromAndTo64Bit)
{
    ole_variant five(5LL);
    EXPECT_EQ(changed(five, VT_CY).value.cyVal.int64, 50000);
    EXPECT_EQ(changed(five, VT_BOOL).value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(changed(ole_variant(0LL), VT_BOOL).value.boolVal, VARIANT_FALSE);
    EXPECT_EQ(changed(five, VT_I1).value.cVal, 5);
    EXPECT_EQ(changed(five, VT_UINT).value.vt, VT_UINT);
    EXPECT_EQ(changed(five, VT_R8).value.dblVal, 5.0);
    EXPECT_EQ(changed(five, VT_BSTR).to_wstring(), L"5");
    EXPECT_EQ(changed(ole_variant(-1LL), VT_UI8).ui8_value, std::numeric_limits<ULONGLONG>::max());
    EXPECT_EQ(changed(ole_variant(std::numeric_limits<ULONGLONG>::max()), VT_I8).i8_value, -1);
    EXPECT_EQ(changed(ole_variant(std::numeric_limits<LONGLONG>::min()), VT_DECIMAL).to_string(),
              "-9223372036854775808");
    EXPECT_EQ(changed(ole_variant(std::numeric_limits<ULONGLONG>::max()), VT_DECIMAL).to_string(),
              "18446744073709551615");
    // Out of range for the narrower type: refused, not wrapped.
    EXPECT_THROW(changed(ole_variant(1LL << 40), VT_I4), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(300LL), VT_UI1), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(-1LL), VT_UI2), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(1000000000000000LL), VT_CY), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(std::numeric_limits<ULONGLONG>::max()), VT_I4), ole_cast_exception);
    EXPECT_THROW(changed(five, VT_DATE), ole_cast_exception);
    EXPECT_THROW(changed(five, VT_BLOB), ole_cast_exception);

    EXPECT_EQ(changed(ole_variant(-5), VT_I8).i8_value, -5);
    EXPECT_EQ(changed(ole_variant(static_cast<BYTE>(200)), VT_I8).i8_value, 200);
    EXPECT_EQ(changed(ole_variant(true), VT_I8).i8_value, -1);
    EXPECT_EQ(changed(ole_variant(-2.9), VT_I8).i8_value, -2);
    EXPECT_THROW(changed(ole_variant(1e30), VT_I8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(-5), VT_UI8), ole_cast_exception);
    DECIMAL dec{};
    VarDecFromStr(L"2.5", 1033, 0, &dec);
    EXPECT_EQ(changed(ole_variant(dec), VT_I8).i8_value, 2);
    EXPECT_EQ(changed(ole_variant(dec), VT_UI8).ui8_value, 2u);
    CY cy{};
    cy.int64 = 35000;
    EXPECT_EQ(changed(ole_variant(cy), VT_I8).i8_value, 4);
    EXPECT_EQ(changed(ole_variant(cy), VT_UI8).ui8_value, 4u);
    EXPECT_THROW(changed(ole_variant(L"5"), VT_I8), ole_cast_exception);
}

TEST(OleVariantChangeType, IntegersDatesAndRefusals)
{
    EXPECT_EQ(changed(ole_variant(-2.5), VT_I4).value.lVal, -3);
    EXPECT_EQ(changed(ole_variant(2.5), VT_I4).value.lVal, 3);
    EXPECT_EQ(changed(ole_variant(0.49999999999999994), VT_I4).value.lVal, 0);
    EXPECT_EQ(changed(ole_variant(65535.4), VT_UI2).value.uiVal, 65535);
    EXPECT_THROW(changed(ole_variant(1e10), VT_I4), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(-0.6), VT_UI4), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(std::nan("")), VT_I2), ole_cast_exception);
    DECIMAL dec{};
    VarDecFromStr(L"1.5", 1033, 0, &dec);
    EXPECT_EQ(changed(ole_variant(dec), VT_I4).value.lVal, 2);
    VarDecFromStr(L"2.5", 1033, 0, &dec);
    EXPECT_EQ(changed(ole_variant(dec), VT_I4).value.lVal, 2);
    VarDecFromStr(L"70000", 1033, 0, &dec);
    EXPECT_THROW(changed(ole_variant(dec), VT_I2), ole_cast_exception);
    // Other sources keep their type when a 32- or 16-bit integer is asked.
    EXPECT_EQ(changed(ole_variant(L"12"), VT_I4).value.vt, VT_BSTR);
    EXPECT_EQ(changed(ole_variant(true), VT_I4).value.vt, VT_BOOL);
    EXPECT_EQ(changed(ole_variant('x'), VT_I2).value.vt, VT_I1);

    SYSTEMTIME t{};
    t.wYear = 2016;
    t.wMonth = 1;
    t.wDay = 31;
    t.wHour = 10;
    t.wMilliseconds = 7;
    const ole_variant date(t);
    EXPECT_THROW(changed(date, VT_I4), ole_cast_exception);
    EXPECT_THROW(changed(date, VT_BLOB), ole_cast_exception);
    EXPECT_EQ(changed(date, VT_BSTR).to_wstring(), L"2016-01-31 10:00:00.007");
    const ole_variant parsed = changed(ole_variant(L"2016-01-31"), VT_DATE);
    EXPECT_EQ(parsed.value.vt, VT_DATE);
    EXPECT_EQ(parsed.to_string(), "2016-01-31");
    EXPECT_EQ(changed(changed(date, VT_BSTR), VT_DATE).to_string(), "2016-01-31 10:00:00.007");
    EXPECT_THROW(changed(ole_variant(L"garbage"), VT_DATE), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(5), VT_DATE), ole_cast_exception);

    // Nothing to change.
    EXPECT_EQ(changed(ole_variant(), VT_I4).value.vt, VT_EMPTY);
    ole_variant null_value;
    null_value.value.vt = VT_NULL;
    EXPECT_EQ(changed(null_value, VT_BSTR).value.vt, VT_NULL);

    // The rest goes through VariantChangeType.
    EXPECT_EQ(changed(ole_variant(5), VT_BSTR).to_wstring(), L"5");
    EXPECT_EQ(changed(ole_variant(L"12.5"), VT_R8).value.dblVal, 12.5);
    EXPECT_EQ(changed(ole_variant(L"12.345678"), VT_CY).to_string(), "12.3457");
    EXPECT_EQ(changed(ole_variant(L"12.345678"), VT_DECIMAL).to_string(), "12.345678");
    EXPECT_EQ(changed(ole_variant(2.5), VT_UI1).value.bVal, 2); // half to even there
    EXPECT_THROW(changed(ole_variant(L"abc"), VT_R8), ole_cast_exception);
    EXPECT_THROW(changed(ole_variant(5), VT_ERROR), ole_cast_exception);
}

TEST(OleVariantChangeType, BinaryBothWays)
{
    const BYTE raw[] = {'h', 'i', 0xC3, 0xA9};
    const ole_variant bin(raw, 4);
    const ole_variant text = changed(bin, VT_BSTR);
    EXPECT_EQ(text.value.vt, VT_BSTR);
    EXPECT_EQ(text.to_wstring(), L"hi\u00e9");
    EXPECT_EQ(bytes_of(changed(text, VT_BLOB)), std::vector<BYTE>(raw, raw + 4));
    EXPECT_EQ(changed(bin, VT_I4).value.vt, VT_BYTE_ARRAY); // unchanged
    EXPECT_EQ(changed(bin, VT_BLOB_OBJECT).value.vt, VT_BYTE_ARRAY);

    EXPECT_EQ(bytes_of(changed(ole_variant(static_cast<short>(0x0102)), VT_BLOB)), (std::vector<BYTE>{2, 1}));
    EXPECT_EQ(bytes_of(changed(ole_variant(0x01020304), VT_BLOB)), (std::vector<BYTE>{4, 3, 2, 1}));
    EXPECT_EQ(bytes_of(changed(ole_variant(static_cast<BYTE>(9)), VT_BLOB)), (std::vector<BYTE>{9}));
    EXPECT_EQ(changed(ole_variant(1.0), VT_BLOB).get_bytes(nullptr), 8u);
    EXPECT_EQ(bytes_of(changed(ole_variant(true), VT_BLOB)), (std::vector<BYTE>{0xFF, 0xFF}));
    DECIMAL dec{};
    VarDecFromStr(L"-1.5", 1033, 0, &dec);
    const std::vector<BYTE> dec_bytes = bytes_of(changed(ole_variant(dec), VT_BLOB));
    ASSERT_EQ(dec_bytes.size(), 16u);
    EXPECT_EQ(dec_bytes[2], 1);    // scale
    EXPECT_EQ(dec_bytes[3], 0x80); // sign
    EXPECT_EQ(dec_bytes[8], 15);   // low byte of the mantissa
    ole_variant null_text;
    null_text.value.vt = VT_BSTR;
    EXPECT_EQ(changed(null_text, VT_BLOB).get_bytes(nullptr), 0u);
    EXPECT_EQ(changed(ole_variant(L""), VT_BLOB).get_bytes(nullptr), 0u);
    ole_variant err;
    err.value.vt = VT_ERROR;
    EXPECT_THROW(changed(err, VT_BLOB), ole_cast_exception);
}
