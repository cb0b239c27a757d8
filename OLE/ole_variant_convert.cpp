// Parsing text into a requested type and converting a value in place.
#include "OLE/ole_variant.h"

#include "OLE/ole_date.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_codepage.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr size_t max_binary_text = 100000000;

// atoi rules: blanks, a sign and the leading digits ("12abc" is 12, "abc" 0).
// False when the number does not fit in 64 bits.
bool leading_integer(const std::string& text, long long& out)
{
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE) return false;
    out = v;
    return true;
}

bool leading_unsigned(const std::string& text, unsigned long long& out)
{
    const char* p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '-') {
        // A negative number is out of range; "-0" is still zero.
        long long v = 0;
        if (!leading_integer(p, v) || v < 0) return false;
        out = 0;
        return true;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(p, &end, 10);
    if (errno == ERANGE) return false;
    out = v;
    return true;
}

// atof rules in the C locale: the longest leading decimal number, 0 when there
// is none. Hexadecimal, "inf" and "nan" are not numbers here.
double leading_double(const std::string& text)
{
    const char* p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char* start = p;
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    bool any = p > digits;
    if (*p == '.') {
        ++p;
        const char* frac = p;
        while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        any = any || p > frac;
    }
    if (!any) return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        if (*e == '+' || *e == '-') ++e;
        if (std::isdigit(static_cast<unsigned char>(*e))) {
            while (std::isdigit(static_cast<unsigned char>(*e))) ++e;
            p = e;
        }
    }
    const char* first = *start == '+' ? start + 1 : start;
    double v = 0.0;
    const auto res = std::from_chars(first, p, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond the double range: infinity with the sign; below it: zero.
        const bool neg = *start == '-';
        bool big = false;
        for (const char* q = digits; q < p && *q != 'e' && *q != 'E'; ++q)
            if (*q >= '1' && *q <= '9') {
                const char* e = std::strpbrk(q, "eE");
                big = !(e && e < p && e[1] == '-');
                break;
            }
        return big ? (neg ? -HUGE_VAL : HUGE_VAL) : 0.0;
    }
    return v;
}

std::string comma_to_dot(std::string text)
{
    for (char& c : text)
        if (c == ',') c = '.';
    return text;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <typename T>
bool fits(long long v)
{
    return v >= static_cast<long long>(std::numeric_limits<T>::min()) &&
           v <= static_cast<long long>(std::numeric_limits<T>::max());
}

template <typename T>
bool fits_unsigned(unsigned long long v)
{
    return v <= static_cast<unsigned long long>(std::numeric_limits<T>::max());
}

// A double rounded half away from zero, if it fits in T.
template <typename T>
bool round_away(double d, T& out)
{
    if (std::isnan(d)) return false;
    const double r = std::round(d); // exact, unlike adding 0.5 and truncating
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        return false;
    out = static_cast<T>(r);
    return true;
}

} // namespace

// ---- from text ------------------------------------------------------------------------

ole_variant ole_variant::from_string(const std::string& text, VARTYPE vt)
{
    tk_logger::log(1, "ole_variant::from_string('%s', 0x%08X)", text.c_str(), static_cast<unsigned>(vt));
    ole_variant result;
    if (text.empty() && vt != VT_BSTR) return result;

    auto out_of_range = [&]() {
        tk_logger::log(2, "Value out of range for type %d: '%s'", vt, text.c_str());
        return ole_variant();
    };

    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4: {
        long long v = 0;
        if (!leading_integer(text, v)) return out_of_range();
        switch (vt) {
        case VT_I1:
            if (!fits<signed char>(v)) return out_of_range();
            return ole_variant(static_cast<char>(v));
        case VT_UI1:
            if (!fits<unsigned char>(v)) return out_of_range();
            return ole_variant(static_cast<BYTE>(v));
        case VT_I2:
            if (!fits<short>(v)) return out_of_range();
            return ole_variant(static_cast<short>(v));
        case VT_UI2:
            if (!fits<unsigned short>(v)) return out_of_range();
            return ole_variant(static_cast<unsigned short>(v));
        default:
            if (!fits<int>(v)) return out_of_range();
            return ole_variant(static_cast<int>(v));
        }
    }
    case VT_UI4: {
        unsigned long long v = 0;
        if (!leading_unsigned(text, v) || !fits_unsigned<unsigned int>(v)) return out_of_range();
        return ole_variant(static_cast<unsigned int>(v));
    }
    case VT_I8: {
        long long v = 0;
        if (!leading_integer(text, v)) return out_of_range();
        return ole_variant(v);
    }
    case VT_UI8: {
        unsigned long long v = 0;
        if (!leading_unsigned(text, v)) return out_of_range();
        return ole_variant(v);
    }
    case VT_R4: {
        const double d = leading_double(comma_to_dot(text));
        // FLT_MAX prints as 3.4028235E+38, a little above it: what rounds to a finite float fits.
        if (std::isfinite(d) && std::isinf(static_cast<float>(d))) return out_of_range();
        return ole_variant(static_cast<float>(d));
    }
    case VT_R8:
        return ole_variant(leading_double(comma_to_dot(text)));
    case VT_CY: {
        tk_logger::log(1, "GOT VT_CY");
        std::wstring wide;
        if (!a2w(comma_to_dot(text).c_str(), wide)) throw tk_mail_assertion("ole_var", 1096);
        CY cy{};
        const HRESULT hr = VarCyFromStr(wide.c_str(), 1033, 0, &cy);
        if (FAILED(hr)) {
            tk_logger::log(3, "VarCyFromStr failed: %08X", static_cast<unsigned>(hr));
            return result;
        }
        return ole_variant(cy);
    }
    case VT_DECIMAL: {
        tk_logger::log(1, "GOT VT_DECIMAL");
        std::wstring wide;
        if (!a2w(comma_to_dot(text).c_str(), wide)) throw tk_mail_assertion("ole_var", 1124);
        DECIMAL dec{};
        const HRESULT hr = VarDecFromStr(wide.c_str(), 1033, 0, &dec);
        if (FAILED(hr)) {
            tk_logger::log(2, "ERROR: VarDecFromStr for '%s' failed (hr=%08X)", text.c_str(),
                           static_cast<unsigned>(hr));
            return result;
        }
        return ole_variant(dec);
    }
    case VT_DATE: {
        tk_logger::log(1, "GOT VT_DATE");
        const ole_date date(text);
        if (!date.is_valid()) return result;
        return date.to_variant();
    }
    case VT_BOOL: {
        if (tk_compare_no_case(text, "yes") == 0 || tk_compare_no_case(text, "true") == 0) return ole_variant(true);
        if (tk_compare_no_case(text, "no") == 0 || tk_compare_no_case(text, "false") == 0) return ole_variant(false);
        long long v = 0;
        const bool in_range = leading_integer(text, v);
        return ole_variant(!in_range || v != 0); // an overlong number is not zero
    }
    default:
        break;
    }

    if (is_binary(vt)) {
        if (text.size() % 2 != 0) {
            tk_logger::log(2, "Incorrect BLOB (size is odd)");
            return result;
        }
        const bool prefix =
            text.size() >= 2 && (text[0] == '0' || text[0] == '\\') && (text[1] == 'x' || text[1] == 'X');
        if (prefix) tk_logger::log(1, "b_prefix=true");
        const size_t count = text.size() / 2 - (prefix ? 1 : 0);
        tk_logger::log(2, "Got BLOB size: %zu", count);
        std::vector<BYTE> bytes(count);
        for (size_t i = 0; i < count; ++i) {
            const size_t at = (i + (prefix ? 1 : 0)) * 2;
            const int hi = hex_digit(text[at]);
            const int lo = hex_digit(text[at + 1]);
            if (hi < 0 || lo < 0) {
                tk_logger::log(2, "Incorrect BLOB (not a hex digit at %zu)", at);
                return ole_variant();
            }
            bytes[i] = static_cast<BYTE>(hi * 16 + lo);
        }
        result.attach_binary(bytes);
        return result;
    }

    result.attach_string(text);
    if (FAILED(VariantChangeType(&result.value, &result.value, 0, vt))) throw ole_type_exception();
    tk_logger::log(1, "VariantChangeType succeeded");
    return result;
}

ole_variant ole_variant::from_wstring(const std::wstring& text, VARTYPE vt)
{
    tk_logger::log(1, "ole_variant::from_wstring");
    if (vt == VT_BSTR) return ole_variant(text);
    tk_logger::log(1, "=== RIGHT BEFORE W2A_EX ===");
    std::string narrow;
    if (!w2a(text.c_str(), narrow)) narrow.clear();
    return from_string(narrow, vt);
}

// ---- in place ------------------------------------------------------------------------

void ole_variant::change_from_64(VARTYPE vt)
{
    const bool is_signed = value.vt == VT_I8;
    const LONGLONG s = i8_value;
    const ULONGLONG u = ui8_value;
    // The value as a wide signed number, exact for both shadows.
    const __int128 v = is_signed ? static_cast<__int128>(s) : static_cast<__int128>(u);
    auto in = [&](auto lo, auto hi) { return v >= static_cast<__int128>(lo) && v <= static_cast<__int128>(hi); };
    ole_variant next;
    switch (vt) {
    case VT_I1:
        if (!in(-128, 127)) throw ole_cast_exception();
        next = ole_variant(static_cast<char>(v));
        break;
    case VT_UI1:
        if (!in(0, 255)) throw ole_cast_exception();
        next = ole_variant(static_cast<BYTE>(v));
        break;
    case VT_I2:
        if (!in(-32768, 32767)) throw ole_cast_exception();
        next = ole_variant(static_cast<short>(v));
        break;
    case VT_UI2:
        if (!in(0, 65535)) throw ole_cast_exception();
        next = ole_variant(static_cast<unsigned short>(v));
        break;
    case VT_I4:
    case VT_INT:
        if (!in(std::numeric_limits<int>::min(), std::numeric_limits<int>::max())) throw ole_cast_exception();
        next = ole_variant(static_cast<int>(v));
        next.value.vt = vt;
        break;
    case VT_UI4:
    case VT_UINT:
        if (!in(0u, std::numeric_limits<unsigned int>::max())) throw ole_cast_exception();
        next = ole_variant(static_cast<unsigned int>(v));
        next.value.vt = vt;
        break;
    case VT_BOOL:
        next = ole_variant(v != 0);
        break;
    case VT_R4:
        next = ole_variant(is_signed ? static_cast<float>(s) : static_cast<float>(u));
        break;
    case VT_R8:
        next = ole_variant(is_signed ? static_cast<double>(s) : static_cast<double>(u));
        break;
    case VT_CY: {
        const __int128 scaled = v * 10000;
        if (scaled < std::numeric_limits<LONGLONG>::min() || scaled > std::numeric_limits<LONGLONG>::max())
            throw ole_cast_exception();
        CY cy{};
        cy.int64 = static_cast<LONGLONG>(scaled);
        next = ole_variant(cy);
        break;
    }
    case VT_DECIMAL: {
        DECIMAL dec{};
        HRESULT hr;
        if (is_signed) {
            tk_logger::log(1, "VT_I8->VT_DECIMAL");
            hr = VarDecFromI8(s, &dec);
        } else {
            tk_logger::log(1, "VT_UI8->VT_DECIMAL");
            hr = VarDecFromUI8(u, &dec);
        }
        if (FAILED(hr)) throw ole_cast_exception();
        next = ole_variant(dec);
        break;
    }
    case VT_BSTR:
        next = ole_variant(std::string(to_string()));
        break;
    case VT_I8:
        next = ole_variant(static_cast<long long>(u)); // the 64 bits as they are
        break;
    case VT_UI8:
        next = ole_variant(static_cast<unsigned long long>(s));
        break;
    default:
        throw ole_cast_exception();
    }
    *this = next;
}

void ole_variant::change_to_64(VARTYPE vt)
{
    const bool to_signed = vt == VT_I8;
    __int128 v = 0;
    switch (value.vt) {
    case VT_I1:
        v = value.cVal;
        break;
    case VT_I2:
        v = value.iVal;
        break;
    case VT_BOOL:
        v = value.boolVal;
        break;
    case VT_I4:
        v = value.lVal;
        break;
    case VT_INT:
        v = value.intVal;
        break;
    case VT_UI1:
        v = value.bVal;
        break;
    case VT_UI2:
        v = value.uiVal;
        break;
    case VT_UI4:
        v = value.ulVal;
        break;
    case VT_UINT:
        v = value.uintVal;
        break;
    case VT_R4:
    case VT_R8: {
        const double d = value.vt == VT_R4 ? value.fltVal : value.dblVal;
        if (!std::isfinite(d) || std::fabs(d) >= 1e20) throw ole_cast_exception();
        v = static_cast<__int128>(std::trunc(d));
        break;
    }
    case VT_DECIMAL: {
        if (to_signed) {
            tk_logger::log(1, "VT_DECIMAL->VT_I8");
            LONGLONG r = 0;
            if (FAILED(VarI8FromDec(&value.decVal, &r))) throw ole_cast_exception();
            v = r;
        } else {
            tk_logger::log(1, "VT_DECIMAL->VT_UI8");
            ULONGLONG r = 0;
            if (FAILED(VarUI8FromDec(&value.decVal, &r))) throw ole_cast_exception();
            v = r;
        }
        break;
    }
    case VT_CY: {
        // Whole units, half to even as VarI8FromCy rounds.
        LONGLONG r = 0;
        if (FAILED(VarI8FromCy(value.cyVal, &r))) throw ole_cast_exception();
        v = r;
        break;
    }
    default:
        throw ole_cast_exception();
    }
    ole_variant next;
    if (to_signed) {
        if (v < std::numeric_limits<LONGLONG>::min() || v > std::numeric_limits<LONGLONG>::max())
            throw ole_cast_exception();
        next = ole_variant(static_cast<long long>(v));
    } else {
        // A boolean is a cast (true is all bits); other negatives do not fit.
        if (value.vt == VT_BOOL) v = static_cast<__int128>(static_cast<ULONGLONG>(static_cast<LONGLONG>(v)));
        if (v < 0 || v > static_cast<__int128>(std::numeric_limits<ULONGLONG>::max())) throw ole_cast_exception();
        next = ole_variant(static_cast<unsigned long long>(v));
    }
    *this = next;
}

void ole_variant::change_to_binary(VARTYPE vt)
{
    tk_logger::log(1, "a_type is binary, src.vt=%d", value.vt);
    (void)vt;
    const void* data = nullptr;
    size_t count = 0;
    std::string text;
    switch (value.vt) {
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        data = &value.iVal;
        count = 2;
        break;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_INT:
    case VT_UINT:
        data = &value.lVal;
        count = 4;
        break;
    case VT_R8:
    case VT_CY:
        data = &value.dblVal;
        count = 8;
        break;
    case VT_I1:
    case VT_UI1:
        data = &value.bVal;
        count = 1;
        break;
    case VT_DECIMAL: {
        // The DECIMAL's own 16 bytes, without the type code the VARIANT keeps in them.
        DECIMAL dec = value.decVal;
        dec.wReserved = 0;
        text.assign(reinterpret_cast<const char*>(&dec), sizeof(dec));
        data = text.data();
        count = text.size();
        break;
    }
    case VT_BSTR: {
        tk_logger::log(1, "VT_BSTR->binary");
        if (value.bstrVal) {
            auto converted =
                wide_to_mb(resolve_code_page(CP_ACP), std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal)));
            if (converted) text = std::move(*converted);
        }
        tk_logger::log(1, "char_buf=%s", text.c_str());
        data = text.data();
        count = text.size();
        break;
    }
    case VT_LPSTR:
        tk_logger::log(1, "VT_LPSTR->binary");
        data = value.pszVal;
        count = value.pszVal ? std::strlen(value.pszVal) : 0;
        break;
    case VT_LPWSTR:
        tk_logger::log(1, "VT_LPWSTR->binary");
        data = value.pwszVal;
        count = value.pwszVal ? std::wcslen(value.pwszVal) * sizeof(wchar_t) : 0;
        break;
    default:
        throw ole_cast_exception();
    }
    // Copy aside first: the bytes may live in this value.
    std::vector<BYTE> bytes(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + count);
    attach_binary(bytes);
}

void ole_variant::change_type(VARTYPE vt)
{
    const VARTYPE cur = value.vt;
    tk_logger::log(1, "ole_variant::change_type(old=%d,new=%d)", cur, vt);
    // 1. Nothing to do.
    if (cur == vt || cur == VT_EMPTY || cur == VT_NULL || (is_binary(cur) && is_binary(vt))) {
        tk_logger::log(1, "Type cannot be changed");
        return;
    }
    // 2. From the 64-bit shadows.
    if (cur == VT_I8 || cur == VT_UI8) {
        change_from_64(vt);
        return;
    }
    // 3. Dates only become text.
    if (cur == VT_DATE) {
        if (vt != VT_BSTR) throw ole_cast_exception();
        const std::string text = date_text();
        attach_string(text);
        return;
    }
    // 4. To the 64-bit shadows.
    if (vt == VT_I8 || vt == VT_UI8) {
        change_to_64(vt);
        return;
    }
    // 5. To the 32- and 16-bit integers.
    if (vt == VT_I4 || vt == VT_UI4 || vt == VT_I2 || vt == VT_UI2) {
        if (cur == VT_R4 || cur == VT_R8) {
            const double d = cur == VT_R4 ? value.fltVal : value.dblVal;
            ole_variant next;
            bool ok = false;
            switch (vt) {
            case VT_I4: {
                int r = 0;
                ok = round_away(d, r);
                if (ok) next = ole_variant(r);
                break;
            }
            case VT_UI4: {
                unsigned int r = 0;
                ok = round_away(d, r);
                if (ok) next = ole_variant(r);
                break;
            }
            case VT_I2: {
                short r = 0;
                ok = round_away(d, r);
                if (ok) next = ole_variant(r);
                break;
            }
            default: {
                unsigned short r = 0;
                ok = round_away(d, r);
                if (ok) next = ole_variant(r);
                break;
            }
            }
            if (!ok) throw ole_cast_exception();
            *this = next;
        } else if (cur == VT_DECIMAL) {
            HRESULT hr = S_OK;
            ole_variant next;
            switch (vt) {
            case VT_I4: {
                tk_logger::log(1, "VT_DECIMAL->VT_I4");
                tk_logger::log(1, "to_string()=%s", to_string().c_str());
                LONG r = 0;
                hr = VarI4FromDec(&value.decVal, &r);
                next = ole_variant(static_cast<int>(r));
                break;
            }
            case VT_UI4: {
                tk_logger::log(1, "VT_DECIMAL->VT_UI4");
                ULONG r = 0;
                hr = VarUI4FromDec(&value.decVal, &r);
                next = ole_variant(static_cast<unsigned int>(r));
                break;
            }
            case VT_I2: {
                tk_logger::log(1, "VT_DECIMAL->VT_I2");
                SHORT r = 0;
                hr = VarI2FromDec(&value.decVal, &r);
                next = ole_variant(static_cast<short>(r));
                break;
            }
            default: {
                tk_logger::log(1, "VT_DECIMAL->VT_UI2");
                USHORT r = 0;
                hr = VarUI2FromDec(&value.decVal, &r);
                next = ole_variant(static_cast<unsigned short>(r));
                break;
            }
            }
            if (FAILED(hr)) throw ole_cast_exception();
            *this = next;
        }
        // Any other source keeps its value and type.
        return;
    }
    // 6. To a date: only from text.
    if (vt == VT_DATE) {
        if (cur != VT_BSTR) throw ole_cast_exception();
        const ole_date date(to_wstring());
        if (!date.is_valid()) throw ole_cast_exception();
        *this = date.to_variant();
        return;
    }
    // 7. From binary: only to text, from arrays of bytes.
    if (is_binary(cur)) {
        tk_logger::log(1, "src.vt is binary, a_type=%d", vt);
        if (vt != VT_BSTR || cur != VT_BYTE_ARRAY || !value.parray || SafeArrayGetElemsize(value.parray) != 1) return;
        const size_t n = std::min(static_cast<size_t>(get_safe_array_size(value.parray)), max_binary_text);
        const char* bytes = static_cast<const char*>(value.parray->pvData);
        auto wide = mb_to_wide(resolve_code_page(CP_ACP), std::string_view(bytes ? bytes : "", bytes ? n : 0), false);
        attach_wstring(wide ? *wide : std::wstring());
        return;
    }
    // 8. To binary: the value's own bytes.
    if (is_binary(vt)) {
        change_to_binary(vt);
        return;
    }
    // 9. The rest by the platform's conversion.
    if (FAILED(VariantChangeType(&value, &value, 0, vt))) {
        tk_logger::log(1, "VariantChangeType failed");
        tk_logger::log(1, "to_string()=%s", to_string().c_str());
        throw ole_cast_exception();
    }
}
