#include "platform/oleaut/oleaut_number.h"

#include <locale.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>

namespace oleaut {

namespace {

bool is_blank(OLECHAR c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f' || c == 0xA0;
}

bool is_digit(OLECHAR c) { return c >= L'0' && c <= L'9'; }

// Exponents beyond this only ever give zero or overflow; clamping keeps the
// arithmetic on longs safe for any text length.
constexpr long exp_clamp = 100000000L;

} // namespace

HRESULT parse_number(const OLECHAR* text, number_text& out)
{
    if (!text) return DISP_E_TYPEMISMATCH;
    const OLECHAR* p = text;
    while (is_blank(*p)) ++p;
    bool neg = false;
    bool signed_front = false;
    bool paren = false;
    if (*p == L'(') {
        paren = true;
        ++p;
        while (is_blank(*p)) ++p;
    }
    if (!paren && (*p == L'+' || *p == L'-')) {
        neg = *p == L'-';
        signed_front = true;
        ++p;
        while (is_blank(*p)) ++p;
    }
    std::string digits;
    long frac_count = 0;
    bool any_digit = false;
    // Integer part with "," group separators between digits.
    bool last_was_comma = false;
    for (;; ++p) {
        if (is_digit(*p)) {
            any_digit = true;
            last_was_comma = false;
            if (!(digits.empty() && *p == L'0')) digits.push_back(static_cast<char>(*p));
        } else if (*p == L',' && any_digit && !last_was_comma) {
            last_was_comma = true;
        } else {
            break;
        }
    }
    if (last_was_comma) return DISP_E_TYPEMISMATCH;
    if (*p == L'.') {
        ++p;
        for (; is_digit(*p); ++p) {
            any_digit = true;
            if (!(digits.empty() && *p == L'0')) digits.push_back(static_cast<char>(*p));
            if (frac_count < exp_clamp) ++frac_count;
        }
    }
    if (!any_digit) return DISP_E_TYPEMISMATCH;
    long exp = 0;
    if (*p == L'e' || *p == L'E') {
        ++p;
        bool exp_neg = false;
        if (*p == L'+' || *p == L'-') {
            exp_neg = *p == L'-';
            ++p;
        }
        if (!is_digit(*p)) return DISP_E_TYPEMISMATCH;
        for (; is_digit(*p); ++p)
            if (exp < exp_clamp) exp = exp * 10 + (*p - L'0');
        if (exp_neg) exp = -exp;
    }
    while (is_blank(*p)) ++p;
    if (paren) {
        if (*p != L')') return DISP_E_TYPEMISMATCH;
        neg = true;
        ++p;
    } else if (!signed_front && (*p == L'+' || *p == L'-')) {
        neg = *p == L'-';
        ++p;
    }
    while (is_blank(*p)) ++p;
    if (*p != L'\0') return DISP_E_TYPEMISMATCH;
    out.neg = neg;
    out.digits = std::move(digits);
    out.exp10 = exp - frac_count;
    return S_OK;
}

u128 pow10(int n)
{
    u128 r = 1;
    for (int i = 0; i < n; ++i) r *= 10;
    return r;
}

u128 div_pow10_half_even(u128 v, int n)
{
    if (n <= 0) return v;
    if (n > 38) return 0; // 10^39 exceeds any 128-bit value, so the quotient is below one half
    const u128 d = pow10(n);
    const u128 q = v / d;
    const u128 r = v % d;
    const u128 half = d / 2;
    if (r > half || (r == half && (q & 1))) return q + 1;
    return q;
}

bool round_to_scale(const number_text& n, long scale, u128& mantissa)
{
    const std::string& d = n.digits;
    if (d.empty()) {
        mantissa = 0;
        return true;
    }
    // Digits that stay in front of the decimal point of the scaled value.
    const long shift = n.exp10 + scale; // value*10^scale = digits * 10^shift
    const long len = static_cast<long>(d.size());
    if (shift >= 0) {
        if (len + shift > 36) return false;
        u128 m = 0;
        for (char c : d) m = m * 10 + static_cast<unsigned>(c - '0');
        mantissa = m * pow10(static_cast<int>(shift));
        return true;
    }
    const long keep = len + shift; // digits of d that remain whole
    if (keep > 36) return false;
    if (keep < 0) {
        mantissa = 0; // below a tenth of the last place: rounds to zero
        return true;
    }
    u128 m = 0;
    for (long i = 0; i < keep; ++i) m = m * 10 + static_cast<unsigned>(d[static_cast<size_t>(i)] - '0');
    // Half to even on the dropped digits.
    const char first = d[static_cast<size_t>(keep)];
    bool round_up = false;
    if (first > '5') {
        round_up = true;
    } else if (first == '5') {
        const bool rest_nonzero = std::any_of(d.begin() + keep + 1, d.end(), [](char c) { return c != '0'; });
        round_up = rest_nonzero || (m & 1);
    }
    mantissa = round_up ? m + 1 : m;
    return true;
}

DECIMAL make_decimal(u128 mantissa, int scale, bool neg)
{
    DECIMAL d{};
    d.scale = static_cast<BYTE>(scale);
    d.sign = neg ? DECIMAL_NEG : 0;
    d.Hi32 = static_cast<ULONG>(mantissa >> 64);
    d.Lo64 = static_cast<ULONGLONG>(mantissa);
    return d;
}

u128 mantissa_of(const DECIMAL& d) { return (static_cast<u128>(d.Hi32) << 64) | d.Lo64; }

HRESULT to_decimal(const number_text& n, DECIMAL& out)
{
    if (n.digits.empty()) {
        // Zero keeps the places written ("0.00"), within the DECIMAL's range.
        const long scale = std::clamp(-n.exp10, 0L, static_cast<long>(DECIMAL_MAX_SCALE));
        out = make_decimal(0, static_cast<int>(scale), false);
        return S_OK;
    }
    const long len = static_cast<long>(n.digits.size());
    // Places of the value as written, then at most 28 of them.
    long scale = std::clamp(-n.exp10, 0L, static_cast<long>(DECIMAL_MAX_SCALE));
    // No more digits than a 96-bit mantissa can hold (29).
    const long int_digits = len + n.exp10; // digits before the point
    if (int_digits > 29) return DISP_E_OVERFLOW;
    if (int_digits + scale > 29) scale = 29 - int_digits;
    u128 m = 0;
    for (;;) {
        if (!round_to_scale(n, scale, m)) return DISP_E_OVERFLOW;
        if (m <= max96) break;
        if (scale == 0) return DISP_E_OVERFLOW;
        --scale; // one place fewer, rounded again from the digits as written
    }
    out = make_decimal(m, static_cast<int>(scale), n.neg && m != 0);
    return S_OK;
}

double c_strtod(const char* text, char** end)
{
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(text, end, c_locale);
}

HRESULT to_double(const number_text& n, double& out)
{
    if (n.digits.empty()) {
        out = 0.0;
        return S_OK;
    }
    std::string text = n.neg ? "-" : "";
    text += n.digits;
    text += 'e';
    text += std::to_string(n.exp10);
    const double v = c_strtod(text.c_str(), nullptr);
    if (std::isinf(v)) return DISP_E_OVERFLOW;
    out = v;
    return S_OK;
}

std::string u128_digits(u128 v)
{
    if (v == 0) return "0";
    std::string s;
    while (v) {
        s.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    }
    std::reverse(s.begin(), s.end());
    return s;
}

std::string decimal_string(u128 mantissa, int scale, bool neg)
{
    std::string digits = u128_digits(mantissa);
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<size_t>(scale) - digits.size() + 1, '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
    }
    if (neg && mantissa != 0) digits.insert(0, 1, '-');
    return digits;
}

number_text from_decimal(const DECIMAL& d)
{
    number_text n;
    const u128 m = mantissa_of(d);
    n.neg = (d.sign & DECIMAL_NEG) && m != 0;
    n.digits = m ? u128_digits(m) : std::string();
    n.exp10 = -static_cast<long>(d.scale);
    return n;
}

namespace {

number_text parse_c_number(const char* text)
{
    std::wstring wide(text, text + std::char_traits<char>::length(text));
    number_text n;
    parse_number(wide.c_str(), n);
    return n;
}

} // namespace

number_text shortest_number(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf) - 1, v, std::chars_format::scientific);
    *res.ptr = '\0';
    return parse_c_number(buf);
}

number_text significant_number(double v, int digits)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf) - 1, v, std::chars_format::scientific, digits - 1);
    *res.ptr = '\0';
    return parse_c_number(buf);
}

std::string format_g(double v, int precision)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf), v, std::chars_format::general, precision);
    std::string s(buf, res.ptr);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace oleaut
