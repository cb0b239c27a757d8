#include "MSS/odb_text_value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Longest number text read here; longer text goes the general way.
constexpr size_t max_number_chars = 64;
constexpr int64_t cy_units = 10000; // a CY holds ten-thousandths
constexpr int max_cy_places = 4;
constexpr size_t max_decimal_digits = 28; // always within a DECIMAL's 96 bits
constexpr size_t max_integer_digits = 18; // always within 64 bits

bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// [-]digits[.digits] split into its parts; false for anything else.
struct plain_number {
    bool neg = false;
    const wchar_t* whole = nullptr;
    size_t whole_digits = 0;
    const wchar_t* places = nullptr;
    size_t place_digits = 0;
};

bool split_plain(const wchar_t* p, size_t n, plain_number& out)
{
    const wchar_t* end = p + n;
    if (p < end && *p == L'-') {
        out.neg = true;
        ++p;
    }
    out.whole = p;
    while (p < end && is_digit(*p)) ++p;
    out.whole_digits = static_cast<size_t>(p - out.whole);
    if (out.whole_digits == 0) return false;
    if (p < end && *p == L'.') {
        ++p;
        out.places = p;
        while (p < end && is_digit(*p)) ++p;
        out.place_digits = static_cast<size_t>(p - out.places);
        if (out.place_digits == 0) return false;
    }
    return p == end;
}

template <typename T>
bool fits(int64_t v)
{
    return v >= static_cast<int64_t>(std::numeric_limits<T>::min()) &&
           v <= static_cast<int64_t>(std::numeric_limits<T>::max());
}

bool read_integer(VARTYPE vt, const wchar_t* text, size_t n, ole_variant& out)
{
    plain_number num;
    if (!split_plain(text, n, num) || num.places || num.whole_digits > max_integer_digits) return false;
    int64_t v = 0;
    for (size_t i = 0; i < num.whole_digits; ++i) v = v * 10 + (num.whole[i] - L'0');
    if (num.neg) v = -v;
    switch (vt) {
    case VT_I1:
        if (!fits<signed char>(v)) return false;
        out = ole_variant(static_cast<char>(v));
        return true;
    case VT_UI1:
        if (!fits<unsigned char>(v)) return false;
        out = ole_variant(static_cast<BYTE>(v));
        return true;
    case VT_I2:
        if (!fits<short>(v)) return false;
        out = ole_variant(static_cast<short>(v));
        return true;
    case VT_UI2:
        if (!fits<unsigned short>(v)) return false;
        out = ole_variant(static_cast<unsigned short>(v));
        return true;
    case VT_I4:
        if (!fits<int>(v)) return false;
        out = ole_variant(static_cast<int>(v));
        return true;
    case VT_I8:
        out = ole_variant(static_cast<long long>(v));
        return true;
    default:
        return false;
    }
}

bool read_real(VARTYPE vt, const wchar_t* text, size_t n, ole_variant& out)
{
    if (n == 0 || n > max_number_chars) return false;
    char narrow[max_number_chars];
    size_t i = 0;
    if (text[i] == L'-') narrow[i++] = '-';
    const size_t first_digit = i;
    while (i < n && is_digit(text[i])) narrow[i] = static_cast<char>(text[i]), ++i;
    if (i == first_digit) return false;
    if (i < n && text[i] == L'.') {
        narrow[i++] = '.';
        const size_t places = i;
        while (i < n && is_digit(text[i])) narrow[i] = static_cast<char>(text[i]), ++i;
        if (i == places) return false;
    }
    if (i < n && (text[i] == L'e' || text[i] == L'E')) {
        narrow[i] = static_cast<char>(text[i]);
        ++i;
        if (i < n && (text[i] == L'+' || text[i] == L'-')) narrow[i] = static_cast<char>(text[i]), ++i;
        const size_t exp_digits = i;
        while (i < n && is_digit(text[i])) narrow[i] = static_cast<char>(text[i]), ++i;
        if (i == exp_digits) return false;
    }
    if (i != n) return false;
    double d = 0;
    const auto res = std::from_chars(narrow, narrow + n, d, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != narrow + n || !std::isfinite(d)) return false;
    if (vt == VT_R8) {
        out = ole_variant(d);
        return true;
    }
    const float f = static_cast<float>(d);
    if (std::isinf(f)) return false;
    out = ole_variant(f);
    return true;
}

bool read_currency(const wchar_t* text, size_t n, ole_variant& out)
{
    plain_number num;
    if (!split_plain(text, n, num) || num.place_digits > max_cy_places || num.whole_digits > max_integer_digits)
        return false;
    // Whole units below 10^18 times 10^4 stay within an unsigned 64-bit number.
    uint64_t units = 0;
    for (size_t i = 0; i < num.whole_digits; ++i) units = units * 10 + static_cast<uint64_t>(num.whole[i] - L'0');
    if (units > static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / cy_units)) return false;
    int64_t scaled = static_cast<int64_t>(units) * cy_units;
    int64_t part = 0;
    for (size_t i = 0; i < num.place_digits; ++i) part = part * 10 + (num.places[i] - L'0');
    for (size_t i = num.place_digits; i < max_cy_places; ++i) part *= 10;
    if (scaled > std::numeric_limits<int64_t>::max() - part) return false;
    scaled += part;
    CY cy{};
    cy.int64 = num.neg ? -scaled : scaled;
    out = ole_variant(cy);
    return true;
}

bool read_decimal(const wchar_t* text, size_t n, ole_variant& out)
{
    plain_number num;
    if (!split_plain(text, n, num) || num.place_digits > max_decimal_digits) return false;
    // At most 28 digits from the first that is not zero: the mantissa is exact.
    unsigned __int128 m = 0;
    size_t significant = 0;
    auto add = [&](wchar_t c) {
        if (m != 0 || c != L'0') ++significant;
        m = m * 10 + static_cast<unsigned>(c - L'0');
    };
    for (size_t i = 0; i < num.whole_digits && significant <= max_decimal_digits; ++i) add(num.whole[i]);
    for (size_t i = 0; i < num.place_digits && significant <= max_decimal_digits; ++i) add(num.places[i]);
    if (significant > max_decimal_digits) return false;
    DECIMAL dec{};
    dec.scale = static_cast<BYTE>(num.place_digits);
    dec.sign = num.neg && m != 0 ? DECIMAL_NEG : 0; // no negative zero
    dec.Hi32 = static_cast<ULONG>(m >> 64);
    dec.Lo64 = static_cast<ULONGLONG>(m);
    out = ole_variant(dec);
    return true;
}

// Exactly `count` digits as a number; false when any is not a digit.
bool fixed_digits(const wchar_t* p, int count, int& out)
{
    out = 0;
    for (int i = 0; i < count; ++i) {
        if (!is_digit(p[i])) return false;
        out = out * 10 + (p[i] - L'0');
    }
    return true;
}

constexpr size_t date_chars = 10;      // yyyy-mm-dd
constexpr size_t date_time_chars = 19; // yyyy-mm-dd hh:mm:ss
constexpr size_t time_chars = 8;       // hh:mm:ss
constexpr int ms_digits = 3;
constexpr int ns_digits = 9;

// hh:mm:ss at t; false when it is not exactly that.
bool read_clock(const wchar_t* t, SYSTEMTIME& st)
{
    int h = 0, mi = 0, s = 0;
    if (!fixed_digits(t, 2, h) || t[2] != L':' || !fixed_digits(t + 3, 2, mi) || t[5] != L':' ||
        !fixed_digits(t + 6, 2, s) || h > 23 || mi > 59 || s > 59)
        return false;
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    return true;
}

// ".digits" from t to end as nanoseconds: every place up to the ninth; more
// places than that are no form the provider writes.
bool read_fraction(const wchar_t* t, const wchar_t* end, uint32_t& ns)
{
    ns = 0;
    if (t == end) return true;
    const auto places = static_cast<int>(end - t) - 1;
    if (*t != L'.' || places < 1 || places > ns_digits) return false;
    for (int i = 0; i < ns_digits; ++i) {
        const wchar_t c = i < places ? t[1 + i] : L'0';
        if (!is_digit(c)) return false;
        ns = ns * 10 + static_cast<uint32_t>(c - L'0');
    }
    return true;
}

void set_fraction(SYSTEMTIME& st, uint32_t ns, ole_variant& out)
{
    constexpr uint32_t ns_per_ms = 1000000;
    static_assert(ms_digits == 3 && ns_digits == 9);
    st.wMilliseconds = static_cast<WORD>(ns / ns_per_ms);
    out = ole_variant(st, ns % ns_per_ms);
}

bool read_date_time(const wchar_t* t, size_t n, ole_variant& out)
{
    if (n != date_chars && n < date_time_chars) return false;
    int y = 0, mo = 0, d = 0;
    if (!fixed_digits(t, 4, y) || t[4] != L'-' || !fixed_digits(t + 5, 2, mo) || t[7] != L'-' ||
        !fixed_digits(t + 8, 2, d))
        return false;
    SYSTEMTIME st{};
    uint32_t ns = 0;
    if (n > date_chars && (t[10] != L' ' || !read_clock(t + 11, st) || !read_fraction(t + date_time_chars, t + n, ns)))
        return false;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31) return false;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    set_fraction(st, ns, out);
    return true;
}

// A time of day: no date parts, as the general parser gives it.
bool read_time_of_day(const wchar_t* t, size_t n, ole_variant& out)
{
    SYSTEMTIME st{};
    uint32_t ns = 0;
    if (n < time_chars || !read_clock(t, st) || !read_fraction(t + time_chars, t + n, ns)) return false;
    set_fraction(st, ns, out);
    return true;
}

} // namespace

odb_text_form odb_text_form_of(DBTYPE type, VARTYPE vt)
{
    if (vt == VT_BSTR) return odb_text_form::text;
    switch (type) {
    case DBTYPE_I1:
    case DBTYPE_UI1:
    case DBTYPE_I2:
    case DBTYPE_UI2:
    case DBTYPE_I4:
    case DBTYPE_I8:
        return odb_text_form::integer;
    case DBTYPE_R4:
    case DBTYPE_R8:
        return odb_text_form::real;
    case DBTYPE_CY:
        return odb_text_form::currency;
    case DBTYPE_DECIMAL:
    case DBTYPE_NUMERIC:
        return odb_text_form::decimal;
    case DBTYPE_DATE:
    case DBTYPE_DBDATE:
    case DBTYPE_DBTIMESTAMP:
        return odb_text_form::date_time;
    case DBTYPE_DBTIME:
    case DBTYPE_DBTIME2:
        return odb_text_form::time_of_day;
    case DBTYPE_BOOL:
        return odb_text_form::boolean;
    default:
        return odb_text_form::general;
    }
}

bool odb_read_text(odb_text_form form, VARTYPE vt, const wchar_t* text, size_t length, ole_variant& out)
{
    if (!text || length == 0) return false;
    switch (form) {
    case odb_text_form::integer:
        return read_integer(vt, text, length, out);
    case odb_text_form::real:
        return (vt == VT_R8 || vt == VT_R4) && read_real(vt, text, length, out);
    case odb_text_form::currency:
        return vt == VT_CY && read_currency(text, length, out);
    case odb_text_form::decimal:
        return vt == VT_DECIMAL && read_decimal(text, length, out);
    case odb_text_form::date_time:
        return vt == VT_DATE && read_date_time(text, length, out);
    case odb_text_form::time_of_day:
        return vt == VT_DATE && read_time_of_day(text, length, out);
    case odb_text_form::boolean:
        if (vt != VT_BOOL || length != 1 || (text[0] != L'0' && text[0] != L'1')) return false;
        out = ole_variant(text[0] == L'1');
        return true;
    case odb_text_form::text:
    case odb_text_form::general:
        break;
    }
    return false;
}
