// Var* conversions between currency, DECIMAL, integers, doubles and text.
// Rounding is half to even throughout, as OLE Automation does it.
#include "platform/oleaut/oleaut_number.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

using namespace oleaut;

namespace {

constexpr LONGLONG cy_scale = 10000;

bool decimal_ok(const DECIMAL* d) { return d && d->scale <= DECIMAL_MAX_SCALE; }

// The DECIMAL rounded half to even to a whole number, as a signed 128-bit value.
HRESULT whole_of(const DECIMAL* d, i128& out)
{
    if (!decimal_ok(d)) return E_INVALIDARG;
    const u128 m = div_pow10_half_even(mantissa_of(*d), d->scale);
    out = (d->sign & DECIMAL_NEG) ? -static_cast<i128>(m) : static_cast<i128>(m);
    return S_OK;
}

template <typename T>
HRESULT whole_into(const DECIMAL* d, T* out)
{
    if (!out) return E_INVALIDARG;
    i128 v = 0;
    const HRESULT hr = whole_of(d, v);
    if (FAILED(hr)) return hr;
    if (v < static_cast<i128>(std::numeric_limits<T>::min()) || v > static_cast<i128>(std::numeric_limits<T>::max()))
        return DISP_E_OVERFLOW;
    *out = static_cast<T>(v);
    return S_OK;
}

// Currency rounded half to even to whole units.
i128 cy_whole(CY cy)
{
    const i128 v = cy.int64;
    const bool neg = v < 0;
    const u128 m = div_pow10_half_even(static_cast<u128>(neg ? -v : v), 4);
    return neg ? -static_cast<i128>(m) : static_cast<i128>(m);
}

// A mantissa at scale 4 as currency, with the range check.
HRESULT cy_from_scaled(u128 m, bool neg, CY* out)
{
    const u128 limit = neg ? static_cast<u128>(std::numeric_limits<LONGLONG>::max()) + 1
                           : static_cast<u128>(std::numeric_limits<LONGLONG>::max());
    if (m > limit) return DISP_E_OVERFLOW;
    out->int64 = neg ? static_cast<LONGLONG>(-static_cast<i128>(m)) : static_cast<LONGLONG>(m);
    return S_OK;
}

HRESULT cy_from_number(const number_text& n, CY* out)
{
    u128 m = 0;
    if (!round_to_scale(n, 4, m)) return DISP_E_OVERFLOW;
    return cy_from_scaled(m, n.neg, out);
}

HRESULT make_bstr(const std::string& ascii, BSTR* out)
{
    std::wstring wide(ascii.begin(), ascii.end());
    BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!b) return E_OUTOFMEMORY;
    *out = b;
    return S_OK;
}

number_text cy_number(CY cy)
{
    number_text n;
    n.neg = cy.int64 < 0;
    const u128 m = n.neg ? static_cast<u128>(-static_cast<i128>(cy.int64)) : static_cast<u128>(cy.int64);
    n.digits = m ? u128_digits(m) : std::string();
    n.exp10 = -4;
    return n;
}

} // namespace

// ---- currency -------------------------------------------------------------------

HRESULT VarI4FromCy(CY cyIn, LONG* plOut)
{
    if (!plOut) return E_INVALIDARG;
    const i128 v = cy_whole(cyIn);
    if (v < std::numeric_limits<LONG>::min() || v > std::numeric_limits<LONG>::max()) return DISP_E_OVERFLOW;
    *plOut = static_cast<LONG>(v);
    return S_OK;
}

HRESULT VarI8FromCy(CY cyIn, LONGLONG* pi64Out)
{
    if (!pi64Out) return E_INVALIDARG;
    *pi64Out = static_cast<LONGLONG>(cy_whole(cyIn)); // |whole| < 2^63 / 10^4
    return S_OK;
}

HRESULT VarUI8FromCy(CY cyIn, ULONGLONG* pi64Out)
{
    if (!pi64Out) return E_INVALIDARG;
    const i128 v = cy_whole(cyIn);
    if (v < 0) return DISP_E_OVERFLOW;
    *pi64Out = static_cast<ULONGLONG>(v);
    return S_OK;
}

HRESULT VarR8FromCy(CY cyIn, DOUBLE* pdblOut)
{
    if (!pdblOut) return E_INVALIDARG;
    double v = 0;
    const HRESULT hr = to_double(cy_number(cyIn), v);
    if (SUCCEEDED(hr)) *pdblOut = v;
    return hr;
}

HRESULT VarCyFromI8(LONGLONG i64In, CY* pcyOut)
{
    if (!pcyOut) return E_INVALIDARG;
    const i128 v = static_cast<i128>(i64In) * cy_scale;
    if (v < std::numeric_limits<LONGLONG>::min() || v > std::numeric_limits<LONGLONG>::max()) return DISP_E_OVERFLOW;
    pcyOut->int64 = static_cast<LONGLONG>(v);
    return S_OK;
}

HRESULT VarCyFromR8(DOUBLE dblIn, CY* pcyOut)
{
    if (!pcyOut) return E_INVALIDARG;
    if (!std::isfinite(dblIn)) return DISP_E_OVERFLOW;
    // The double's shortest decimal form, so 0.00005 rounds as written.
    return cy_from_number(shortest_number(dblIn), pcyOut);
}

HRESULT VarCyFromDec(const DECIMAL* pdecIn, CY* pcyOut)
{
    if (!pcyOut) return E_INVALIDARG;
    if (!decimal_ok(pdecIn)) return E_INVALIDARG;
    return cy_from_number(from_decimal(*pdecIn), pcyOut);
}

HRESULT VarCyFromStr(const OLECHAR* strIn, LCID, ULONG, CY* pcyOut)
{
    if (!pcyOut) return E_INVALIDARG;
    number_text n;
    const HRESULT hr = parse_number(strIn, n);
    if (FAILED(hr)) return hr;
    return cy_from_number(n, pcyOut);
}

HRESULT VarBstrFromCy(CY cyIn, LCID, ULONG, BSTR* pbstrOut)
{
    if (!pbstrOut) return E_INVALIDARG;
    const bool neg = cyIn.int64 < 0;
    u128 m = neg ? static_cast<u128>(-static_cast<i128>(cyIn.int64)) : static_cast<u128>(cyIn.int64);
    // Up to four places, trailing zeros dropped ("12.5", "5").
    int scale = 4;
    while (scale > 0 && m % 10 == 0) {
        m /= 10;
        --scale;
    }
    return make_bstr(decimal_string(m, scale, neg), pbstrOut);
}

// ---- DECIMAL ----------------------------------------------------------------------

HRESULT VarI1FromDec(const DECIMAL* pdecIn, CHAR* pcOut) { return whole_into(pdecIn, pcOut); }
HRESULT VarUI1FromDec(const DECIMAL* pdecIn, BYTE* pbOut) { return whole_into(pdecIn, pbOut); }
HRESULT VarI2FromDec(const DECIMAL* pdecIn, SHORT* psOut) { return whole_into(pdecIn, psOut); }
HRESULT VarUI2FromDec(const DECIMAL* pdecIn, USHORT* puiOut) { return whole_into(pdecIn, puiOut); }
HRESULT VarI4FromDec(const DECIMAL* pdecIn, LONG* plOut) { return whole_into(pdecIn, plOut); }
HRESULT VarUI4FromDec(const DECIMAL* pdecIn, ULONG* pulOut) { return whole_into(pdecIn, pulOut); }
HRESULT VarI8FromDec(const DECIMAL* pdecIn, LONGLONG* pi64Out) { return whole_into(pdecIn, pi64Out); }
HRESULT VarUI8FromDec(const DECIMAL* pdecIn, ULONGLONG* pi64Out) { return whole_into(pdecIn, pi64Out); }

HRESULT VarR8FromDec(const DECIMAL* pdecIn, DOUBLE* pdblOut)
{
    if (!pdblOut) return E_INVALIDARG;
    if (!decimal_ok(pdecIn)) return E_INVALIDARG;
    double v = 0;
    const HRESULT hr = to_double(from_decimal(*pdecIn), v);
    if (SUCCEEDED(hr)) *pdblOut = v;
    return hr;
}

HRESULT VarR4FromDec(const DECIMAL* pdecIn, FLOAT* pfltOut)
{
    if (!pfltOut) return E_INVALIDARG;
    double v = 0;
    const HRESULT hr = VarR8FromDec(pdecIn, &v);
    if (FAILED(hr)) return hr;
    *pfltOut = static_cast<float>(v); // a DECIMAL is far inside the float range
    return S_OK;
}

HRESULT VarDecFromI8(LONGLONG i64In, DECIMAL* pdecOut)
{
    if (!pdecOut) return E_INVALIDARG;
    const bool neg = i64In < 0;
    const u128 m = neg ? static_cast<u128>(-static_cast<i128>(i64In)) : static_cast<u128>(i64In);
    *pdecOut = make_decimal(m, 0, neg);
    return S_OK;
}

HRESULT VarDecFromUI8(ULONGLONG ui64In, DECIMAL* pdecOut)
{
    if (!pdecOut) return E_INVALIDARG;
    *pdecOut = make_decimal(ui64In, 0, false);
    return S_OK;
}

HRESULT VarDecFromR8(DOUBLE dblIn, DECIMAL* pdecOut)
{
    if (!pdecOut) return E_INVALIDARG;
    if (!std::isfinite(dblIn)) return DISP_E_OVERFLOW;
    // Fifteen significant digits, as the double's decimal text shows them.
    number_text n = significant_number(dblIn, 15);
    // "%.15G" drops trailing zeros; so does the DECIMAL made from it.
    while (!n.digits.empty() && n.digits.back() == '0' && n.exp10 < 0) {
        n.digits.pop_back();
        ++n.exp10;
    }
    DECIMAL d{};
    const HRESULT hr = to_decimal(n, d);
    if (SUCCEEDED(hr)) *pdecOut = d;
    return hr;
}

HRESULT VarDecFromCy(CY cyIn, DECIMAL* pdecOut)
{
    if (!pdecOut) return E_INVALIDARG;
    const bool neg = cyIn.int64 < 0;
    const u128 m = neg ? static_cast<u128>(-static_cast<i128>(cyIn.int64)) : static_cast<u128>(cyIn.int64);
    *pdecOut = make_decimal(m, 4, neg);
    return S_OK;
}

HRESULT VarDecFromStr(const OLECHAR* strIn, LCID, ULONG, DECIMAL* pdecOut)
{
    if (!pdecOut) return E_INVALIDARG;
    number_text n;
    HRESULT hr = parse_number(strIn, n);
    if (FAILED(hr)) return hr;
    DECIMAL d{};
    hr = to_decimal(n, d);
    if (SUCCEEDED(hr)) *pdecOut = d;
    return hr;
}

HRESULT VarBstrFromDec(const DECIMAL* pdecIn, LCID, ULONG, BSTR* pbstrOut)
{
    if (!pbstrOut || !pdecIn) return E_INVALIDARG;
    if (pdecIn->scale > DECIMAL_MAX_SCALE) return E_INVALIDARG;
    return make_bstr(decimal_string(mantissa_of(*pdecIn), pdecIn->scale, pdecIn->sign & DECIMAL_NEG), pbstrOut);
}

// ---- doubles and 64-bit integers from text ---------------------------------------------

HRESULT VarR8FromStr(const OLECHAR* strIn, LCID, ULONG, DOUBLE* pdblOut)
{
    if (!pdblOut) return E_INVALIDARG;
    number_text n;
    HRESULT hr = parse_number(strIn, n);
    if (FAILED(hr)) return hr;
    double v = 0;
    hr = to_double(n, v);
    if (SUCCEEDED(hr)) *pdblOut = v;
    return hr;
}

HRESULT VarI8FromStr(const OLECHAR* strIn, LCID, ULONG, LONGLONG* pi64Out)
{
    if (!pi64Out) return E_INVALIDARG;
    number_text n;
    const HRESULT hr = parse_number(strIn, n);
    if (FAILED(hr)) return hr;
    u128 m = 0;
    if (!round_to_scale(n, 0, m)) return DISP_E_OVERFLOW;
    const u128 limit = n.neg ? static_cast<u128>(std::numeric_limits<LONGLONG>::max()) + 1
                             : static_cast<u128>(std::numeric_limits<LONGLONG>::max());
    if (m > limit) return DISP_E_OVERFLOW;
    *pi64Out = n.neg ? static_cast<LONGLONG>(-static_cast<i128>(m)) : static_cast<LONGLONG>(m);
    return S_OK;
}

HRESULT VarBstrFromR8(DOUBLE dblIn, LCID, ULONG, BSTR* pbstrOut)
{
    if (!pbstrOut) return E_INVALIDARG;
    return make_bstr(format_g(dblIn, 15), pbstrOut);
}
