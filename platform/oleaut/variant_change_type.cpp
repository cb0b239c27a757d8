// VariantChangeType over the scalar types: EMPTY, NULL, the integers, R4, R8,
// CY, DECIMAL, BOOL, DATE, BSTR and ERROR. Numbers round half to even and
// out-of-range results are DISP_E_OVERFLOW; the destination is written only
// on success.
#include "platform/oleaut/oleaut_number.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <limits>
#include <string>

using namespace oleaut;

namespace {

constexpr double min_date = -657434.0;
constexpr double max_date = 2958465.99999999;

bool known_base(VARTYPE base)
{
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_VOID:
    case VT_HRESULT:
    case VT_PTR:
    case VT_SAFEARRAY:
    case VT_CARRAY:
    case VT_USERDEFINED:
    case VT_LPSTR:
    case VT_LPWSTR:
    case VT_RECORD:
    case VT_FILETIME:
    case VT_BLOB:
    case VT_STREAM:
    case VT_STORAGE:
    case VT_STREAMED_OBJECT:
    case VT_STORED_OBJECT:
    case VT_BLOB_OBJECT:
    case VT_CF:
    case VT_CLSID:
        return true;
    default:
        return false;
    }
}

bool known_vt(VARTYPE vt)
{
    if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF | VT_VECTOR)) return false;
    return known_base(vt & VT_TYPEMASK);
}

bool convertible(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_BOOL:
    case VT_DATE:
    case VT_BSTR:
    case VT_ERROR:
        return true;
    default:
        return false;
    }
}

// The source value in one of a few shapes.
struct source {
    enum kind_t { empty, integer, real, currency, decimal, boolean, date, text } kind = empty;
    i128 i = 0;
    double r = 0;
    bool r4 = false;
    CY cy{};
    DECIMAL dec{};
    bool b = false;
    const OLECHAR* s = nullptr;
};

source read_source(const VARIANT& v)
{
    source x;
    switch (v.vt) {
    case VT_I1:
        x.kind = source::integer;
        x.i = v.cVal;
        break;
    case VT_I2:
        x.kind = source::integer;
        x.i = v.iVal;
        break;
    case VT_I4:
        x.kind = source::integer;
        x.i = v.lVal;
        break;
    case VT_INT:
        x.kind = source::integer;
        x.i = v.intVal;
        break;
    case VT_UI1:
        x.kind = source::integer;
        x.i = v.bVal;
        break;
    case VT_UI2:
        x.kind = source::integer;
        x.i = v.uiVal;
        break;
    case VT_UI4:
        x.kind = source::integer;
        x.i = v.ulVal;
        break;
    case VT_UINT:
        x.kind = source::integer;
        x.i = v.uintVal;
        break;
    case VT_I8:
        x.kind = source::integer;
        x.i = v.llVal;
        break;
    case VT_UI8:
        x.kind = source::integer;
        x.i = v.ullVal;
        break;
    case VT_R4:
        x.kind = source::real;
        x.r = v.fltVal;
        x.r4 = true;
        break;
    case VT_R8:
        x.kind = source::real;
        x.r = v.dblVal;
        break;
    case VT_CY:
        x.kind = source::currency;
        x.cy = v.cyVal;
        break;
    case VT_DECIMAL:
        x.kind = source::decimal;
        x.dec = v.decVal;
        x.dec.wReserved = 0;
        break;
    case VT_BOOL:
        x.kind = source::boolean;
        x.b = v.boolVal != 0;
        break;
    case VT_DATE:
        x.kind = source::date;
        x.r = v.date;
        break;
    case VT_BSTR:
        x.kind = source::text;
        x.s = v.bstrVal ? v.bstrVal : L"";
        break;
    default:
        x.kind = source::empty;
        break;
    }
    return x;
}

// A number parsed from text; "true"/"false" are accepted where asked.
HRESULT parse_text(const OLECHAR* s, number_text& n) { return parse_number(s, n); }

HRESULT whole_number(const source& x, i128& out)
{
    switch (x.kind) {
    case source::empty:
        out = 0;
        return S_OK;
    case source::integer:
        out = x.i;
        return S_OK;
    case source::boolean:
        out = x.b ? -1 : 0;
        return S_OK;
    case source::real:
    case source::date: {
        if (!std::isfinite(x.r)) return DISP_E_OVERFLOW;
        const double r = std::nearbyint(x.r); // half to even in the default rounding mode
        if (std::fabs(r) >= 1e30) return DISP_E_OVERFLOW;
        out = static_cast<i128>(r);
        return S_OK;
    }
    case source::currency: {
        LONGLONG v = 0;
        VarI8FromCy(x.cy, &v);
        out = v;
        return S_OK;
    }
    case source::decimal: {
        if (x.dec.scale > DECIMAL_MAX_SCALE) return E_INVALIDARG;
        const u128 m = div_pow10_half_even(mantissa_of(x.dec), x.dec.scale);
        out = (x.dec.sign & DECIMAL_NEG) ? -static_cast<i128>(m) : static_cast<i128>(m);
        return S_OK;
    }
    case source::text: {
        number_text n;
        HRESULT hr = parse_text(x.s, n);
        if (FAILED(hr)) return hr;
        u128 m = 0;
        if (!round_to_scale(n, 0, m) || m > (static_cast<u128>(1) << 100)) return DISP_E_OVERFLOW;
        out = n.neg ? -static_cast<i128>(m) : static_cast<i128>(m);
        return S_OK;
    }
    }
    return DISP_E_TYPEMISMATCH;
}

template <typename T>
HRESULT to_integer(const source& x, T& out)
{
    i128 v = 0;
    const HRESULT hr = whole_number(x, v);
    if (FAILED(hr)) return hr;
    if (x.kind == source::boolean) { // a cast: true is all bits
        out = static_cast<T>(static_cast<long long>(v));
        return S_OK;
    }
    if (v < static_cast<i128>(std::numeric_limits<T>::min()) || v > static_cast<i128>(std::numeric_limits<T>::max()))
        return DISP_E_OVERFLOW;
    out = static_cast<T>(v);
    return S_OK;
}

HRESULT to_double(const source& x, double& out)
{
    switch (x.kind) {
    case source::empty:
        out = 0;
        return S_OK;
    case source::integer:
        out = static_cast<double>(x.i);
        return S_OK;
    case source::boolean:
        out = x.b ? -1.0 : 0.0;
        return S_OK;
    case source::real:
    case source::date:
        out = x.r;
        return S_OK;
    case source::currency:
        return VarR8FromCy(x.cy, &out);
    case source::decimal:
        return VarR8FromDec(&x.dec, &out);
    case source::text:
        return VarR8FromStr(x.s, LANG_EN_US_LCID, 0, &out);
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_float(const source& x, float& out)
{
    double d = 0;
    const HRESULT hr = to_double(x, d);
    if (FAILED(hr)) return hr;
    if (std::isfinite(d) && std::isinf(static_cast<float>(d))) return DISP_E_OVERFLOW;
    out = static_cast<float>(d);
    return S_OK;
}

HRESULT to_currency(const source& x, CY& out)
{
    switch (x.kind) {
    case source::empty:
        out.int64 = 0;
        return S_OK;
    case source::integer: {
        const i128 v = x.i * 10000;
        if (v < std::numeric_limits<LONGLONG>::min() || v > std::numeric_limits<LONGLONG>::max())
            return DISP_E_OVERFLOW;
        out.int64 = static_cast<LONGLONG>(v);
        return S_OK;
    }
    case source::boolean:
        out.int64 = x.b ? -10000 : 0;
        return S_OK;
    case source::real:
    case source::date:
        return VarCyFromR8(x.r, &out);
    case source::currency:
        out = x.cy;
        return S_OK;
    case source::decimal:
        return VarCyFromDec(&x.dec, &out);
    case source::text:
        return VarCyFromStr(x.s, LANG_EN_US_LCID, 0, &out);
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_decimal(const source& x, DECIMAL& out)
{
    switch (x.kind) {
    case source::empty:
        out = make_decimal(0, 0, false);
        return S_OK;
    case source::integer: {
        const bool neg = x.i < 0;
        out = make_decimal(static_cast<u128>(neg ? -x.i : x.i), 0, neg);
        return S_OK;
    }
    case source::boolean:
        out = make_decimal(x.b ? 1 : 0, 0, x.b);
        return S_OK;
    case source::real:
    case source::date: {
        if (!std::isfinite(x.r)) return DISP_E_OVERFLOW;
        // R4 through its 7 significant digits, R8 through 15.
        number_text n = significant_number(x.r, x.r4 ? 7 : 15);
        while (!n.digits.empty() && n.digits.back() == '0' && n.exp10 < 0) {
            n.digits.pop_back();
            ++n.exp10;
        }
        return oleaut::to_decimal(n, out);
    }
    case source::currency:
        return VarDecFromCy(x.cy, &out);
    case source::decimal:
        out = x.dec;
        return S_OK;
    case source::text:
        return VarDecFromStr(x.s, LANG_EN_US_LCID, 0, &out);
    }
    return DISP_E_TYPEMISMATCH;
}

bool equals_no_case(const OLECHAR* s, const wchar_t* word)
{
    // Blanks around the word are allowed, as around numbers.
    while (*s == L' ' || *s == L'\t') ++s;
    for (; *word; ++s, ++word)
        if (std::towlower(static_cast<wint_t>(*s)) != static_cast<wint_t>(*word)) return false;
    while (*s == L' ' || *s == L'\t') ++s;
    return *s == L'\0';
}

HRESULT to_bool(const source& x, VARIANT_BOOL& out)
{
    switch (x.kind) {
    case source::empty:
        out = VARIANT_FALSE;
        return S_OK;
    case source::integer:
        out = x.i ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case source::boolean:
        out = x.b ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case source::real:
    case source::date:
        out = x.r != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case source::currency:
        out = x.cy.int64 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case source::decimal:
        out = mantissa_of(x.dec) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case source::text: {
        if (equals_no_case(x.s, L"true")) {
            out = VARIANT_TRUE;
            return S_OK;
        }
        if (equals_no_case(x.s, L"false")) {
            out = VARIANT_FALSE;
            return S_OK;
        }
        number_text n;
        const HRESULT hr = parse_text(x.s, n);
        if (FAILED(hr)) return hr;
        out = n.digits.empty() ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_date(const source& x, DATE& out)
{
    if (x.kind == source::text) return VarDateFromStr(x.s, LANG_EN_US_LCID, 0, &out);
    double d = 0;
    const HRESULT hr = to_double(x, d);
    if (FAILED(hr)) return hr;
    if (!(d >= min_date && d <= max_date)) return DISP_E_OVERFLOW;
    out = d;
    return S_OK;
}

HRESULT ascii_bstr(const std::string& text, BSTR& out)
{
    const std::wstring wide(text.begin(), text.end());
    out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return out ? S_OK : E_OUTOFMEMORY;
}

HRESULT to_text(const source& x, const VARIANT& src, BSTR& out)
{
    switch (x.kind) {
    case source::empty:
        return ascii_bstr("", out);
    case source::integer: {
        const bool neg = x.i < 0;
        return ascii_bstr(decimal_string(static_cast<u128>(neg ? -x.i : x.i), 0, neg), out);
    }
    case source::boolean:
        return ascii_bstr(x.b ? "-1" : "0", out);
    case source::real:
        return ascii_bstr(format_g(x.r, x.r4 ? 7 : 15), out);
    case source::date:
        return VarBstrFromDate(x.r, LANG_EN_US_LCID, 0, &out);
    case source::currency:
        return VarBstrFromCy(x.cy, LANG_EN_US_LCID, 0, &out);
    case source::decimal:
        return VarBstrFromDec(&x.dec, LANG_EN_US_LCID, 0, &out);
    case source::text:
        out = SysAllocStringLen(src.bstrVal, SysStringLen(src.bstrVal));
        return out ? S_OK : E_OUTOFMEMORY;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT convert(const VARIANT& src, VARTYPE vt, VARIANT& out)
{
    const source x = read_source(src);
    out.vt = vt;
    switch (vt) {
    case VT_I1:
        return to_integer(x, out.cVal);
    case VT_I2:
        return to_integer(x, out.iVal);
    case VT_I4:
        return to_integer(x, out.lVal);
    case VT_INT:
        return to_integer(x, out.intVal);
    case VT_UI1:
        return to_integer(x, out.bVal);
    case VT_UI2:
        return to_integer(x, out.uiVal);
    case VT_UI4:
        return to_integer(x, out.ulVal);
    case VT_UINT:
        return to_integer(x, out.uintVal);
    case VT_I8:
        return to_integer(x, out.llVal);
    case VT_UI8:
        return to_integer(x, out.ullVal);
    case VT_R4:
        return to_float(x, out.fltVal);
    case VT_R8:
        return to_double(x, out.dblVal);
    case VT_CY:
        return to_currency(x, out.cyVal);
    case VT_DECIMAL: {
        DECIMAL d{};
        const HRESULT hr = to_decimal(x, d);
        if (SUCCEEDED(hr)) {
            out.decVal = d;
            out.vt = VT_DECIMAL; // the DECIMAL's first word is the vt
        }
        return hr;
    }
    case VT_BOOL:
        return to_bool(x, out.boolVal);
    case VT_DATE:
        return to_date(x, out.date);
    case VT_BSTR:
        return to_text(x, src, out.bstrVal);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

} // namespace

HRESULT VariantChangeTypeEx(VARIANT* pvargDest, const VARIANT* pvarSrc, LCID, USHORT, VARTYPE vt)
{
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    const VARTYPE from = pvarSrc->vt;
    if (!known_vt(from) || !known_vt(vt)) return DISP_E_BADVARTYPE;
    if (!convertible(from) || !convertible(vt)) return DISP_E_TYPEMISMATCH;
    if (from == vt) return pvargDest == pvarSrc ? S_OK : VariantCopy(pvargDest, pvarSrc);

    VARIANT result;
    std::memset(&result, 0, sizeof(result));
    HRESULT hr = S_OK;
    if (from == VT_ERROR || vt == VT_ERROR) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (vt == VT_NULL) {
        result.vt = VT_NULL;
    } else if (from == VT_NULL) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (vt == VT_EMPTY) {
        result.vt = VT_EMPTY;
    } else {
        hr = convert(*pvarSrc, vt, result);
    }
    if (FAILED(hr)) return hr;
    // The source may be the destination: the result no longer refers to it.
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    std::memcpy(pvargDest, &result, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags, VARTYPE vt)
{
    return VariantChangeTypeEx(pvargDest, pvarSrc, LANG_EN_US_LCID, wFlags, vt);
}
