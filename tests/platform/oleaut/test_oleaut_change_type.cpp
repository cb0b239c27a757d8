// VariantChangeType across the scalar matrix.
#include "platform/oleaut/oleauto.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

namespace {

struct holder {
    VARIANT v;
    holder() { VariantInit(&v); }
    ~holder() { VariantClear(&v); }
    holder(const holder&) = delete;
    holder& operator=(const holder&) = delete;
};

VARIANT make_i4(LONG x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = x;
    return v;
}
VARIANT make_i8(LONGLONG x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I8;
    v.llVal = x;
    return v;
}
VARIANT make_ui8(ULONGLONG x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI8;
    v.ullVal = x;
    return v;
}
VARIANT make_r8(double x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = x;
    return v;
}
VARIANT make_r4(float x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R4;
    v.fltVal = x;
    return v;
}
VARIANT make_bool(bool x)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
VARIANT make_cy(LONGLONG scaled)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_CY;
    v.cyVal.int64 = scaled;
    return v;
}
VARIANT make_date(double d)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = d;
    return v;
}
VARIANT make_vt(VARTYPE vt)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.llVal = 0;
    return v;
}
VARIANT make_str(const wchar_t* s)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}
VARIANT make_dec(const wchar_t* s)
{
    VARIANT v;
    VariantInit(&v);
    DECIMAL d{};
    EXPECT_EQ(VarDecFromStr(s, 1033, 0, &d), S_OK);
    v.decVal = d;
    v.vt = VT_DECIMAL;
    return v;
}

// The converted value as text, or the failure code.
std::wstring convert(VARIANT src, VARTYPE vt)
{
    holder s;
    s.v = src;
    holder out;
    const HRESULT hr = VariantChangeType(&out.v, &s.v, 0, vt);
    if (FAILED(hr)) {
        wchar_t buf[16];
        swprintf(buf, 16, L"hr=%08X", static_cast<unsigned>(hr));
        return buf;
    }
    EXPECT_EQ(out.v.vt, vt);
    if (vt == VT_EMPTY) return L"<empty>";
    if (vt == VT_NULL) return L"<null>";
    holder text;
    EXPECT_EQ(VariantChangeType(&text.v, &out.v, 0, VT_BSTR), S_OK);
    return std::wstring(text.v.bstrVal, SysStringLen(text.v.bstrVal));
}

const std::wstring overflow = L"hr=8002000A";
const std::wstring mismatch = L"hr=80020005";
const std::wstring badvt = L"hr=80020008";

} // namespace

TEST(ChangeType, ToIntegersRoundHalfEvenAndCheckRange)
{
    EXPECT_EQ(convert(make_r8(-2.5), VT_I4), L"-2");
    EXPECT_EQ(convert(make_r8(2.5), VT_I4), L"2");
    EXPECT_EQ(convert(make_r8(3.5), VT_I4), L"4");
    EXPECT_EQ(convert(make_r8(1e10), VT_I4), overflow);
    EXPECT_EQ(convert(make_r8(NAN), VT_I4), overflow);
    EXPECT_EQ(convert(make_r8(-0.5), VT_UI4), L"0");
    EXPECT_EQ(convert(make_r8(-1), VT_UI4), overflow);
    EXPECT_EQ(convert(make_r4(254.5f), VT_UI1), L"254");
    EXPECT_EQ(convert(make_r4(255.5f), VT_UI1), overflow); // rounds to 256
    EXPECT_EQ(convert(make_i4(128), VT_I1), overflow);
    EXPECT_EQ(convert(make_i4(-128), VT_I1), L"-128");
    EXPECT_EQ(convert(make_i4(65535), VT_UI2), L"65535");
    EXPECT_EQ(convert(make_i4(65536), VT_UI2), overflow);
    EXPECT_EQ(convert(make_i8(INT64_MAX), VT_UI8), L"9223372036854775807");
    EXPECT_EQ(convert(make_ui8(UINT64_MAX), VT_I8), overflow);
    EXPECT_EQ(convert(make_i8(-1), VT_UI8), overflow);
    EXPECT_EQ(convert(make_i8(2147483648LL), VT_INT), overflow);
    EXPECT_EQ(convert(make_cy(25000), VT_I4), L"2");
    EXPECT_EQ(convert(make_cy(35000), VT_I2), L"4");
    EXPECT_EQ(convert(make_dec(L"1.5"), VT_I4), L"2");
    EXPECT_EQ(convert(make_dec(L"2.5"), VT_I4), L"2");
    EXPECT_EQ(convert(make_dec(L"-2.5"), VT_I8), L"-2");
    EXPECT_EQ(convert(make_str(L" 1,234 "), VT_I4), L"1234");
    EXPECT_EQ(convert(make_str(L"2.5"), VT_I4), L"2");
    EXPECT_EQ(convert(make_str(L"1e10"), VT_I4), overflow);
    EXPECT_EQ(convert(make_str(L"12abc"), VT_I4), mismatch);
    EXPECT_EQ(convert(make_bool(true), VT_I4), L"-1");
    EXPECT_EQ(convert(make_bool(true), VT_UI1), L"255");
    EXPECT_EQ(convert(make_bool(true), VT_UI8), L"18446744073709551615");
    EXPECT_EQ(convert(make_date(42735.5), VT_I4), L"42736");
    EXPECT_EQ(convert(make_vt(VT_EMPTY), VT_I4), L"0");
}

TEST(ChangeType, ToRealsCurrencyAndDecimal)
{
    EXPECT_EQ(convert(make_i4(5), VT_R8), L"5");
    EXPECT_EQ(convert(make_r8(1e20), VT_BSTR), L"1E+20");
    EXPECT_EQ(convert(make_r8(1e-5), VT_BSTR), L"1E-05");
    EXPECT_EQ(convert(make_r8(0.0001), VT_BSTR), L"0.0001");
    EXPECT_EQ(convert(make_r8(123456789012345678.0), VT_BSTR), L"1.23456789012346E+17");
    EXPECT_EQ(convert(make_r4(0.1f), VT_BSTR), L"0.1");
    EXPECT_EQ(convert(make_r8(1e300), VT_R4), overflow);
    EXPECT_EQ(convert(make_r8(FLT_MAX), VT_R4), L"3.402823E+38");
    EXPECT_EQ(convert(make_r8(3.4028235e38), VT_R4), L"3.402823E+38"); // rounds to FLT_MAX
    EXPECT_EQ(convert(make_r8(3.5e38), VT_R4), overflow);
    EXPECT_EQ(convert(make_str(L"12,5"), VT_R8), L"125"); // "," is a group separator in en-US
    EXPECT_EQ(convert(make_str(L"12.5"), VT_R8), L"12.5");
    EXPECT_EQ(convert(make_i8(5), VT_CY), L"5");
    EXPECT_EQ(convert(make_i8(922337203685477LL), VT_CY), L"922337203685477");
    EXPECT_EQ(convert(make_i8(922337203685478LL), VT_CY), overflow);
    EXPECT_EQ(convert(make_r8(12.34565), VT_CY), L"12.3456");
    EXPECT_EQ(convert(make_dec(L"12.34575"), VT_CY), L"12.3458");
    EXPECT_EQ(convert(make_bool(true), VT_CY), L"-1");
    EXPECT_EQ(convert(make_str(L"1234.56789"), VT_CY), L"1234.5679");
    EXPECT_EQ(convert(make_cy(12345678), VT_DECIMAL), L"1234.5678");
    EXPECT_EQ(convert(make_i8(INT64_MIN), VT_DECIMAL), L"-9223372036854775808");
    EXPECT_EQ(convert(make_ui8(UINT64_MAX), VT_DECIMAL), L"18446744073709551615");
    EXPECT_EQ(convert(make_r8(0.1), VT_DECIMAL), L"0.1");
    EXPECT_EQ(convert(make_r4(0.1f), VT_DECIMAL), L"0.1");
    EXPECT_EQ(convert(make_r8(1.0 / 3), VT_DECIMAL), L"0.333333333333333");
    EXPECT_EQ(convert(make_str(L"0.10"), VT_DECIMAL), L"0.10");
    EXPECT_EQ(convert(make_dec(L"1.50"), VT_R8), L"1.5");
    EXPECT_EQ(convert(make_dec(L"-0.0000000000000000000000000001"), VT_BSTR), L"-0.0000000000000000000000000001");
}

TEST(ChangeType, BooleansDatesAndText)
{
    EXPECT_EQ(convert(make_i8(5), VT_BOOL), L"-1");
    EXPECT_EQ(convert(make_i4(0), VT_BOOL), L"0");
    EXPECT_EQ(convert(make_dec(L"0.00"), VT_BOOL), L"0");
    EXPECT_EQ(convert(make_str(L"TRUE"), VT_BOOL), L"-1");
    EXPECT_EQ(convert(make_str(L"false"), VT_BOOL), L"0");
    EXPECT_EQ(convert(make_str(L"2"), VT_BOOL), L"-1");
    EXPECT_EQ(convert(make_str(L"yes"), VT_BOOL), mismatch);
    EXPECT_EQ(convert(make_str(L"12/31/2016"), VT_DATE), L"12/31/2016");
    EXPECT_EQ(convert(make_str(L"2016-01-31"), VT_DATE), L"1/31/2016");
    EXPECT_EQ(convert(make_i4(42735), VT_DATE), L"12/31/2016");
    EXPECT_EQ(convert(make_r8(1e10), VT_DATE), overflow);
    EXPECT_EQ(convert(make_date(42735.25), VT_R8), L"42735.25");
    EXPECT_EQ(convert(make_vt(VT_EMPTY), VT_BSTR), L"");
    EXPECT_EQ(convert(make_i4(-17), VT_BSTR), L"-17");
    EXPECT_EQ(convert(make_ui8(UINT64_MAX), VT_BSTR), L"18446744073709551615");
}

TEST(ChangeType, EmptyNullErrorAndRefusedPairs)
{
    EXPECT_EQ(convert(make_i4(3), VT_EMPTY), L"<empty>");
    EXPECT_EQ(convert(make_str(L"x"), VT_EMPTY), L"<empty>");
    EXPECT_EQ(convert(make_vt(VT_NULL), VT_EMPTY), mismatch);
    EXPECT_EQ(convert(make_vt(VT_ERROR), VT_EMPTY), mismatch);
    EXPECT_EQ(convert(make_i4(3), VT_NULL), L"<null>");
    EXPECT_EQ(convert(make_vt(VT_EMPTY), VT_NULL), L"<null>");
    EXPECT_EQ(convert(make_vt(VT_ERROR), VT_NULL), mismatch);
    EXPECT_EQ(convert(make_vt(VT_NULL), VT_I4), mismatch);
    EXPECT_EQ(convert(make_vt(VT_NULL), VT_BSTR), mismatch);
    EXPECT_EQ(convert(make_vt(VT_ERROR), VT_I4), mismatch);
    EXPECT_EQ(convert(make_vt(VT_ERROR), VT_BSTR), mismatch);
    EXPECT_EQ(convert(make_i4(1), VT_ERROR), mismatch);
    EXPECT_EQ(convert(make_i4(1), VT_DISPATCH), mismatch);
    EXPECT_EQ(convert(make_i4(1), VT_ARRAY | VT_UI1), mismatch);
    EXPECT_EQ(convert(make_i4(1), 0x0FFF), badvt);
    EXPECT_EQ(convert(make_vt(0x0FFF), VT_I4), badvt);

    // The destination is left alone on failure.
    holder src, dst;
    src.v = make_r8(1e10);
    dst.v = make_str(L"keep");
    EXPECT_EQ(VariantChangeType(&dst.v, &src.v, 0, VT_I4), DISP_E_OVERFLOW);
    ASSERT_EQ(dst.v.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(dst.v.bstrVal), L"keep");
    // In place: the source text is consumed and freed.
    holder in_place;
    in_place.v = make_str(L"  -42 ");
    ASSERT_EQ(VariantChangeType(&in_place.v, &in_place.v, 0, VT_I4), S_OK);
    EXPECT_EQ(in_place.v.vt, VT_I4);
    EXPECT_EQ(in_place.v.lVal, -42);
    in_place.v = make_str(L"text");
    ASSERT_EQ(VariantChangeType(&in_place.v, &in_place.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::wstring(in_place.v.bstrVal), L"text");
}
