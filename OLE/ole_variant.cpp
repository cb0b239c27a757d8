#include "OLE/ole_variant.h"

#include "OLE/ole_bool_map.h"
#include "OLE/ole_date.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_codepage.h"
#include "platform/win32/win_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Binary values print and convert at most this many bytes.
constexpr size_t max_binary_text = 100000000;

// Whether booleans read and print as -1/0 (mode 1 of the boolean map).
bool bool_like_ms()
{
    const ole_bool_map* map = ole_bool_map::find();
    return map && map->mode == 1;
}

// A double truncated toward zero into T, saturating; NaN reads as 0.
template <typename T>
T saturate(double d)
{
    if (std::isnan(d)) return 0;
    const double t = std::trunc(d);
    if (t <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (t >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(t);
}

// printf's "%.<precision>e" with a "." whatever the process locale says.
std::string scientific(double v, int precision)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf), v, std::chars_format::scientific, precision);
    return std::string(buf, res.ptr);
}

std::string wide_to_ansi(const OLECHAR* text, size_t length)
{
    if (!text) return std::string();
    auto converted = wide_to_mb(resolve_code_page(CP_ACP), std::wstring_view(text, length));
    return converted ? *converted : std::string();
}

std::string comma_to_dot(std::string text)
{
    std::replace(text.begin(), text.end(), ',', '.');
    return text;
}

} // namespace

// ---- construction ---------------------------------------------------------------

void ole_variant::initialize()
{
    tk_logger::log(1, "ole_variant::initialize");
    i8_value = 0;
    ui8_value = 0;
    std::memset(&date_parts, 0, sizeof(date_parts));
    date_sub_ms_ns = 0;
    std::memset(&value, 0, sizeof(value));
    VariantInit(&value);
}

ole_variant::ole_variant()
{
    tk_logger::log(1, "ole_variant::empty ctor");
    initialize();
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(const SYSTEMTIME& st, uint32_t sub_ms_ns)
{
    initialize();
    set_date(st);
    date_sub_ms_ns = sub_ms_ns % ole_date::ns_per_ms;
}

ole_variant::ole_variant(const SYSTEMTIME& st)
{
    tk_logger::log(1, "Construct ole_variant from SYSTEMTIME");
    initialize();
    set_date(st);
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(const CY& cy)
{
    tk_logger::log(1, "Construct ole_variant from CY");
    initialize();
    value.vt = VT_CY;
    value.cyVal = cy;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(const DECIMAL& dec)
{
    tk_logger::log(1, "Construct ole_variant from DECIMAL");
    initialize();
    value.decVal = dec;
    value.vt = VT_DECIMAL;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(const OLECHAR* bstr)
{
    tk_logger::log(1, "Construct ole_variant from BSTR");
    initialize();
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(bstr);
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(bool b)
{
    tk_logger::log(1, "ole_variant::ctor from bool (%d)", b ? 1 : 0);
    initialize();
    value.vt = VT_BOOL;
    value.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(char c)
{
    tk_logger::log(1, "ole_variant::ctor from char(%d)", c);
    initialize();
    value.vt = VT_I1;
    value.cVal = c;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(BYTE b)
{
    tk_logger::log(1, "ole_variant::ctor from byte(%d)", b);
    initialize();
    value.vt = VT_UI1;
    value.bVal = b;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(short s)
{
    tk_logger::log(1, "ole_variant::ctor from short(%d)", s);
    initialize();
    value.vt = VT_I2;
    value.iVal = s;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(unsigned short s)
{
    tk_logger::log(1, "ole_variant::ctor from ushort(%d)", s);
    initialize();
    value.vt = VT_UI2;
    value.uiVal = s;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(int i)
{
    tk_logger::log(1, "ole_variant::ctor from int(%d)", i);
    initialize();
    value.vt = VT_I4;
    value.lVal = i;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(unsigned int u)
{
    tk_logger::log(1, "ole_variant::ctor from uint(%u)", u);
    initialize();
    value.vt = VT_UI4;
    value.ulVal = u;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(long long i8)
{
    tk_logger::log(1, "ole_variant::ctor(hyper, %lld)", i8);
    initialize();
    value.vt = VT_I8;
    i8_value = i8;
    value.llVal = i8;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(long i8) : ole_variant(static_cast<long long>(i8)) {}

ole_variant::ole_variant(unsigned long long ui8)
{
    tk_logger::log(1, "ole_variant::ctor(uhyper, %llu)", ui8);
    initialize();
    value.vt = VT_UI8;
    ui8_value = ui8;
    value.ullVal = ui8;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(unsigned long ui8) : ole_variant(static_cast<unsigned long long>(ui8)) {}

ole_variant::ole_variant(float f)
{
    tk_logger::log(1, "ole_variant::ctor from float(%f)", static_cast<double>(f));
    initialize();
    value.vt = VT_R4;
    value.fltVal = f;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(double d)
{
    tk_logger::log(1, "ole_variant::ctor from double(%e)", d);
    initialize();
    value.vt = VT_R8;
    value.dblVal = d;
    tk_logger::log(1, "src.vt=%d", value.vt);
}

ole_variant::ole_variant(const BYTE* data, size_t count)
{
    initialize();
    attach_binary(data, count);
}

ole_variant::ole_variant(const char* text) : ole_variant(std::string(text ? text : "")) {}

ole_variant::ole_variant(const std::string& text)
{
    tk_logger::log(1, "ole_variant::ctor from string(%s)", text.c_str());
    initialize();
    attach_string(text);
}

ole_variant::ole_variant(const std::wstring& text)
{
    tk_logger::log(1, L"ole_variant::ctor from wstring(%s)", text.c_str());
    initialize();
    attach_wstring(text);
}

ole_variant::ole_variant(const ole_variant& src)
{
    tk_logger::log(1, "ole_variant::copy ctor");
    initialize();
    copy_from(src);
}

ole_variant::~ole_variant() { clear(); }

void ole_variant::clear()
{
    // Byte arrays (and the bare array type) are destroyed first, then the rest.
    if (value.vt == VT_BYTE_ARRAY || value.vt == VT_SAFEARRAY) {
        SafeArrayDestroy(value.parray);
        value.parray = nullptr;
        value.vt = VT_EMPTY;
    }
    VariantClear(&value);
}

void ole_variant::copy_from(const ole_variant& src)
{
    if (FAILED(VariantCopy(&value, &src.value))) {
        clear();
        value.vt = src.value.vt == VT_BYTE_ARRAY ? static_cast<VARTYPE>(VT_ERROR) : static_cast<VARTYPE>(VT_EMPTY);
        return;
    }
    i8_value = 0;
    ui8_value = 0;
    std::memset(&date_parts, 0, sizeof(date_parts));
    date_sub_ms_ns = 0;
    if (value.vt == VT_I8 || value.vt == VT_UI8) {
        tk_logger::log(1, "Special processing for VT_(U)I8 type");
        i8_value = src.i8_value;
        ui8_value = src.ui8_value;
    } else if (value.vt == VT_DATE) {
        tk_logger::log(1, "Special processing for VT_DATE");
        date_parts = src.date_parts;
        date_sub_ms_ns = src.date_sub_ms_ns;
    }
}

ole_variant& ole_variant::operator=(const ole_variant& src)
{
    if (this == &src) return *this;
    clear();
    copy_from(src);
    if (value.vt == VT_DATE)
        tk_logger::log(1, "%04d-%02d-%02d %02d:%02d:%02d", date_parts.wYear, date_parts.wMonth, date_parts.wDay,
                       date_parts.wHour, date_parts.wMinute, date_parts.wSecond);
    return *this;
}

ole_variant& ole_variant::operator=(const OLECHAR* bstr)
{
    tk_logger::log(1, "ole_variant::operator = (const BSTR)");
    // Copy first: the text may belong to this value.
    BSTR copy = SysAllocString(bstr);
    clear();
    value.vt = VT_BSTR;
    value.bstrVal = copy;
    return *this;
}

ole_variant& ole_variant::operator=(const std::vector<BYTE>& bytes)
{
    attach_binary(bytes);
    return *this;
}

ole_variant& ole_variant::operator=(const std::string& text)
{
    attach_string(text);
    return *this;
}

ole_variant& ole_variant::operator=(const std::wstring& text)
{
    attach_wstring(text);
    return *this;
}

void ole_variant::set_date(const SYSTEMTIME& st)
{
    clear();
    value.vt = VT_DATE;
    date_parts = st;
    date_sub_ms_ns = 0;
    value.date = 0;
    SYSTEMTIME when = st;
    // A pure time is the time of day on the date number's day 0.
    if (when.wYear == 0 && when.wMonth == 0 && when.wDay == 0) {
        when.wYear = 1899;
        when.wMonth = 12;
        when.wDay = 30;
    }
    // The date number starts at the year 100 and reads a smaller year as two
    // digits; an earlier year (0001 to 0099) is held by date_parts alone.
    if ((when.wYear != 0 && when.wYear < 100) || !SystemTimeToVariantTime(&when, &value.date))
        tk_logger::log(2, "Failed to convert SYSTEMTIME->VARIANT");
}

// ---- byte arrays --------------------------------------------------------------------

int get_safe_array_size(const SAFEARRAY* psa)
{
    tk_logger::log(1, "get_safe_array_size");
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(psa, 1, &lower);
    SafeArrayGetUBound(psa, 1, &upper);
    tk_logger::log(1, "lower=%d, upper=%d", lower, upper);
    if (lower > upper) return 0;
    return static_cast<int>(static_cast<long long>(upper) - lower + 1);
}

std::vector<BYTE>& convert_to_byte_array(const BYTE* data, size_t count, std::vector<BYTE>& out)
{
    tk_logger::log(1, "convert_to_byte_array(%zu)", count);
    out.assign(data, data + (data ? count : 0));
    for (size_t i = 0; i < out.size(); ++i) tk_logger::log(1, "byte_array[%zu]=%d", i, out[i]);
    return out;
}

void ole_variant::allocate_safe_array(size_t size)
{
    tk_logger::log(1, "ole_variant::allocate_safe_array (size=%zu)", size);
    if (size > std::numeric_limits<ULONG>::max()) throw tk_mail_assertion("ole_var", 973);
    if (value.vt == VT_BYTE_ARRAY && value.parray && SafeArrayGetDim(value.parray) == 1) {
        tk_logger::log(1, "Redimension array");
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(value.parray, 1, &lower);
        SafeArrayGetUBound(value.parray, 1, &upper);
        const long long count = static_cast<long long>(upper) - lower + 1;
        if (count < 0) throw tk_mail_assertion("ole_var", 985);
        if (static_cast<size_t>(count) == size) return;
        SAFEARRAYBOUND bound{static_cast<ULONG>(size), lower};
        if (SUCCEEDED(SafeArrayRedim(value.parray, &bound))) return;
    }
    clear();
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (!psa) throw tk_mail_assertion("ole_var", 973);
    value.vt = VT_BYTE_ARRAY;
    value.parray = psa;
}

void ole_variant::set_bytes_from(const void* data, size_t count)
{
    allocate_safe_array(count);
    if (count > 0) std::memcpy(value.parray->pvData, data, count);
}

void ole_variant::attach_binary(const BYTE* data, size_t count)
{
    tk_logger::log(1, "ole_variant::attach_binary(2)");
    // No bytes is an empty value, whatever the pointer.
    if (!data && count > 0) throw tk_mail_assertion("ole_var", 938);
    tk_logger::log(1, "Step #1");
    set_bytes_from(data, count);
    tk_logger::log(1, "Step #2");
    tk_logger::log(1, "ole_variant::attach_binary(2) - end");
}

void ole_variant::attach_binary(const std::vector<BYTE>& bytes)
{
    tk_logger::log(1, "ole_variant::attach_binary(1)");
    tk_logger::log(1, "Step #1");
    set_bytes_from(bytes.data(), bytes.size());
    tk_logger::log(1, "Step #2");
    tk_logger::log(1, "ole_variant::attach_binary(1) - end");
}

size_t ole_variant::get_bytes(BYTE** data) const
{
    tk_logger::log(1, "ole_variant::get_bytes(%d)", value.vt);
    if (data) *data = nullptr;
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) return 0;
    if (value.vt != VT_BYTE_ARRAY) throw tk_mail_assertion("ole_var", 869);
    if (!value.parray) return 0;
    if (data) *data = static_cast<BYTE*>(value.parray->pvData);
    return static_cast<size_t>(get_safe_array_size(value.parray));
}

void ole_variant::get_systemtime(SYSTEMTIME& st) const
{
    if (value.vt == VT_DATE)
        st = date_parts;
    else
        std::memset(&st, 0, sizeof(st));
}

// ---- text ------------------------------------------------------------------------------

void ole_variant::attach_string(const std::string& text)
{
    tk_logger::log(1, "ole_variant::attach_string('%s')", text.c_str());
    if (value.vt != VT_BSTR) {
        clear();
        value.vt = VT_BSTR;
        value.bstrVal = nullptr;
    }
    tk_logger::log(1, "=== RIGHT BEFORE A2W_EX ===");
    std::wstring wide;
    if (!a2w(text.c_str(), wide)) // up to the first NUL
        throw tk_mail_assertion("ole_var", 1021);
    if (!SysReAllocStringLen(&value.bstrVal, wide.data(), static_cast<UINT>(wide.size())))
        throw tk_mail_assertion("ole_var", 1021);
}

void ole_variant::attach_wstring(const std::wstring& text)
{
    tk_logger::log(1, L"ole_variant::attach_wstring('%s')", text.c_str());
    if (value.vt != VT_BSTR)
        clear();
    else
        SysFreeString(value.bstrVal);
    value.vt = VT_BSTR;
    value.bstrVal = nullptr;
    tk_logger::log(1, "=== RIGHT BEFORE SysAllocStringLen ===");
    if (text.size() > std::numeric_limits<UINT>::max()) throw tk_mail_assertion("ole_var", 1040);
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value.bstrVal) throw tk_mail_assertion("ole_var", 1040);
}

// ---- numeric readers --------------------------------------------------------------------

int ole_variant::to_long() const
{
    tk_logger::log(1, "ole_variant::to_long(vt=%08X)", value.vt);
    switch (value.vt) {
    case VT_I1:
        return value.cVal;
    case VT_I2:
        return value.iVal;
    case VT_I4:
        return value.lVal;
    case VT_UI1:
        return value.bVal;
    case VT_UI2:
        return value.uiVal;
    case VT_UI4:
        return static_cast<int>(value.ulVal);
    case VT_R4:
        return saturate<int>(value.fltVal);
    case VT_R8:
        return saturate<int>(value.dblVal);
    case VT_CY: {
        LONG res = 0;
        const HRESULT hr = VarI4FromCy(value.cyVal, &res);
        tk_logger::log(1, "from CURRECY: res=%d, hr=%08X", res, static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0;
    }
    case VT_DECIMAL: {
        LONG res = 0;
        const HRESULT hr = VarI4FromDec(&value.decVal, &res);
        tk_logger::log(1, "from DECIMAL: res=%d, hr=%08X", res, static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0;
    }
    case VT_BOOL:
        return bool_like_ms() ? value.boolVal : (value.boolVal == VARIANT_TRUE ? 1 : 0);
    case VT_I8:
        return static_cast<int>(static_cast<uint32_t>(i8_value)); // the low 32 bits
    case VT_UI8:
        return static_cast<int>(static_cast<uint32_t>(ui8_value));
    default:
        return 0;
    }
}

LONGLONG ole_variant::to_i8() const
{
    tk_logger::log(1, "ole_variant::to_i8(%08X)", value.vt);
    switch (value.vt) {
    case VT_I1:
        return value.cVal;
    case VT_I2:
        return value.iVal;
    case VT_I4:
        return value.lVal;
    case VT_UI1:
        return value.bVal;
    case VT_UI2:
        return value.uiVal;
    case VT_UI4:
        return value.ulVal;
    case VT_R4:
        return saturate<LONGLONG>(value.fltVal);
    case VT_R8:
        return saturate<LONGLONG>(value.dblVal);
    case VT_CY: {
        LONGLONG res = 0;
        const HRESULT hr = VarI8FromCy(value.cyVal, &res);
        tk_logger::log(1, "from CURRECY: res=%lld, hr=%08X", static_cast<long long>(res), static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0;
    }
    case VT_DECIMAL: {
        LONGLONG res = 0;
        const HRESULT hr = VarI8FromDec(&value.decVal, &res);
        tk_logger::log(1, "from DECIMAL: res=%lld, hr=%08X", static_cast<long long>(res), static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0;
    }
    case VT_BOOL:
        return bool_like_ms() ? value.boolVal : (value.boolVal == VARIANT_TRUE ? 1 : 0);
    case VT_I8:
        return i8_value;
    case VT_UI8:
        return static_cast<LONGLONG>(ui8_value);
    default:
        return 0;
    }
}

ULONGLONG ole_variant::to_ui8() const
{
    tk_logger::log(1, "ole_variant::to_i8(%08X)", value.vt);
    switch (value.vt) {
    case VT_I1:
        return static_cast<ULONGLONG>(static_cast<LONGLONG>(value.cVal));
    case VT_I2:
        return static_cast<ULONGLONG>(static_cast<LONGLONG>(value.iVal));
    case VT_I4:
        return static_cast<ULONGLONG>(static_cast<LONGLONG>(value.lVal));
    case VT_UI1:
        return value.bVal;
    case VT_UI2:
        return value.uiVal;
    case VT_UI4:
        return value.ulVal;
    case VT_R4:
        return saturate<ULONGLONG>(value.fltVal);
    case VT_R8:
        return saturate<ULONGLONG>(value.dblVal);
    case VT_CY: {
        ULONGLONG res = 0;
        const HRESULT hr = VarUI8FromCy(value.cyVal, &res);
        tk_logger::log(1, "from CURRECY: res=%llu, hr=%08X", static_cast<unsigned long long>(res),
                       static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0;
    }
    case VT_DECIMAL: {
        ULONGLONG res = 0;
        const HRESULT hr = VarUI8FromDec(&value.decVal, &res);
        tk_logger::log(1, "from DECIMAL: res=%llu, hr=%08X", static_cast<unsigned long long>(res),
                       static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0;
    }
    case VT_BOOL:
        return static_cast<ULONGLONG>(
            static_cast<LONGLONG>(bool_like_ms() ? value.boolVal : (value.boolVal == VARIANT_TRUE ? 1 : 0)));
    case VT_I8:
        return static_cast<ULONGLONG>(i8_value);
    case VT_UI8:
        return ui8_value;
    default:
        return 0;
    }
}

double ole_variant::to_double() const
{
    tk_logger::log(1, "ole_variant::to_double(%08X)", value.vt);
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return 0.0;
    case VT_I1:
        return value.cVal;
    case VT_I2:
        return value.iVal;
    case VT_I4:
        return value.lVal;
    case VT_UI1:
        return value.bVal;
    case VT_UI2:
        return value.uiVal;
    case VT_UI4:
        return value.ulVal;
    case VT_R4:
        return value.fltVal;
    case VT_R8:
        return value.dblVal;
    case VT_CY: {
        double res = 0;
        const HRESULT hr = VarR8FromCy(value.cyVal, &res);
        tk_logger::log(1, "from CURRECY: res=%g, hr=%08X", res, static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0.0;
    }
    case VT_DECIMAL: {
        double res = 0;
        const HRESULT hr = VarR8FromDec(&value.decVal, &res);
        tk_logger::log(1, "from DECIMAL: res=%g, hr=%08X", res, static_cast<unsigned>(hr));
        return SUCCEEDED(hr) ? res : 0.0;
    }
    case VT_BOOL:
        return bool_like_ms() ? value.boolVal : (value.boolVal == VARIANT_TRUE ? 1.0 : 0.0);
    case VT_I8:
        return static_cast<double>(i8_value);
    case VT_UI8:
        return static_cast<double>(ui8_value);
    default:
        throw tk_mail_assertion("ole_var", 714);
    }
}

bool ole_variant::to_bool() const
{
    tk_logger::log(1, "ole_variant::to_bool(vt=%08X)", value.vt);
    switch (value.vt) {
    case VT_I1:
        return value.cVal != 0;
    case VT_I2:
        return value.iVal != 0;
    case VT_I4:
        return value.lVal != 0;
    case VT_UI1:
        return value.bVal != 0;
    case VT_UI2:
        return value.uiVal != 0;
    case VT_UI4:
        return value.ulVal != 0;
    case VT_R4:
        return value.fltVal != 0.0f;
    case VT_R8:
        return value.dblVal != 0.0;
    case VT_CY:
    case VT_DECIMAL:
        return to_long() != 0;
    case VT_BOOL:
        return value.boolVal == VARIANT_TRUE;
    case VT_I8:
        return i8_value != 0;
    case VT_UI8:
        return ui8_value != 0;
    default:
        return false;
    }
}

// ---- printing ---------------------------------------------------------------------------

std::string ole_variant::to_string() const
{
    tk_logger::log(1, "ole_variant::to_string (vt=%08X)", value.vt);
    char buf[32];
    switch (value.vt) {
    case VT_BYTE_ARRAY: {
        if (!value.parray || SafeArrayGetElemsize(value.parray) != 1) return std::string();
        tk_logger::log(1, "Converting VT_ARRAY");
        const size_t n = std::min(static_cast<size_t>(get_safe_array_size(value.parray)), max_binary_text);
        return "0x" + bin_to_hex(static_cast<const unsigned char*>(value.parray->pvData), n);
    }
    case VT_DECIMAL: {
        tk_logger::log(1, "Converting VT_DECIMAL");
        BSTR text = nullptr;
        if (FAILED(VarBstrFromDec(&value.decVal, LOCALE_USER_DEFAULT, 0, &text))) return std::string();
        std::string out = comma_to_dot(wide_to_ansi(text, SysStringLen(text)));
        SysFreeString(text);
        return out;
    }
    case VT_DATE:
        tk_logger::log(1, "Converting VT_DATE");
        return date_text();
    case VT_CY: {
        tk_logger::log(1, "Converting VT_CY");
        VARIANT copy;
        VariantInit(&copy);
        if (FAILED(VariantChangeType(&copy, &value, 0, VT_BSTR))) return std::string();
        std::string out = comma_to_dot(wide_to_ansi(copy.bstrVal, SysStringLen(copy.bstrVal)));
        VariantClear(&copy);
        return out;
    }
    case VT_BSTR:
        tk_logger::log(1, "Processing VT_BSTR");
        return wide_to_ansi(value.bstrVal, SysStringLen(value.bstrVal));
    case VT_BOOL:
        tk_logger::log(1, "to_string - bool: %d", value.boolVal);
        if (bool_like_ms()) {
            tk_logger::log(1, "Mapping BOOL like MS!");
            return value.boolVal == VARIANT_TRUE ? "-1" : "0";
        }
        tk_logger::log(1, "Mapping BOOL like ANSI!");
        return value.boolVal == VARIANT_TRUE ? "1" : "0";
    case VT_I1:
        std::snprintf(buf, sizeof(buf), "%d", value.cVal);
        return buf;
    case VT_I2:
        std::snprintf(buf, sizeof(buf), "%d", value.iVal);
        return buf;
    case VT_UI1:
        std::snprintf(buf, sizeof(buf), "%u", value.bVal);
        return buf;
    case VT_UI2:
        std::snprintf(buf, sizeof(buf), "%u", value.uiVal);
        return buf;
    case VT_I4:
        std::snprintf(buf, sizeof(buf), "%d", value.lVal);
        return buf;
    case VT_INT:
        std::snprintf(buf, sizeof(buf), "%d", value.intVal);
        return buf;
    case VT_UI4:
        std::snprintf(buf, sizeof(buf), "%u", value.ulVal);
        return buf;
    case VT_UINT:
        std::snprintf(buf, sizeof(buf), "%u", value.uintVal);
        return buf;
    case VT_R4:
        return tk_format_exp3(scientific(static_cast<double>(value.fltVal), 6));
    case VT_R8:
        return tk_format_exp3(scientific(value.dblVal, 16));
    case VT_I8:
        std::snprintf(buf, sizeof(buf), "%lld", static_cast<long long>(i8_value));
        return buf;
    case VT_UI8:
        std::snprintf(buf, sizeof(buf), "%llu", static_cast<unsigned long long>(ui8_value));
        return buf;
    default:
        return std::string();
    }
}

std::wstring ole_variant::to_wstring() const
{
    tk_logger::log(1, "ole_variant::to_wstring (vt=%08X)", value.vt);
    if (value.vt == VT_BSTR) {
        tk_logger::log(1, "Processing VT_BSTR");
        if (!value.bstrVal) return std::wstring();
        return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
    }
    const std::string text = to_string();
    auto wide = mb_to_wide(resolve_code_page(CP_ACP), text, false);
    return wide ? *wide : std::wstring();
}

std::string ole_variant::date_text() const { return ole_date(date_parts, date_sub_ms_ns).to_string(true); }

bool ole_variant::is_binary(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY; }
