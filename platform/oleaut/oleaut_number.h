// Exact decimal arithmetic shared by the Var* conversions: a parsed number
// text, 96-bit DECIMAL mantissas on unsigned __int128, half-to-even rounding.
#pragma once
#include "platform/oleaut/oleauto.h"

#include <string>

namespace oleaut {

using u128 = unsigned __int128;
using i128 = __int128;

constexpr u128 max96 = (static_cast<u128>(1) << 96) - 1;

// A number as written: value = (neg ? -1 : 1) * digits * 10^exp10.
// `digits` holds no leading zeros ("" means zero); trailing zeros are kept.
struct number_text {
    bool neg = false;
    std::string digits;
    long exp10 = 0;
};

// Locale 1033 number syntax: blanks, a sign in front, behind or as
// parentheses, "," grouping in the integer part, "." fraction, exponent.
// DISP_E_TYPEMISMATCH for anything else.
HRESULT parse_number(const OLECHAR* text, number_text& out);

// The value rounded half to even to `scale` decimal places, as a mantissa
// (value * 10^scale). False when the mantissa does not fit in 120 bits.
bool round_to_scale(const number_text& n, long scale, u128& mantissa);

// The value as a DECIMAL (up to 29 digits and 28 places, half to even).
HRESULT to_decimal(const number_text& n, DECIMAL& out);

// The value as a correctly rounded double; DISP_E_OVERFLOW beyond its range.
HRESULT to_double(const number_text& n, double& out);

// A DECIMAL's value as a number text (exact).
number_text from_decimal(const DECIMAL& d);

// Plain decimal text of the exact value: "-", the digits, "." at the scale.
std::string decimal_string(u128 mantissa, int scale, bool neg);

// Decimal digits of an unsigned 128-bit number.
std::string u128_digits(u128 v);

// Divides by 10^n rounding half to even (n may exceed 38: the result is 0).
u128 div_pow10_half_even(u128 v, int n);

u128 pow10(int n); // n in 0..38

// The shortest text that reads back as the same double ("%.17g" free).
number_text shortest_number(double v);

// printf-style "%.<digits>G" in the C locale, parsed back.
number_text significant_number(double v, int digits);

// printf's "%.<precision>G", whatever the process locale says about numbers.
std::string format_g(double v, int precision);

DECIMAL make_decimal(u128 mantissa, int scale, bool neg);
u128 mantissa_of(const DECIMAL& d);

// Locale-independent double parsing of plain C syntax.
double c_strtod(const char* text, char** end);

} // namespace oleaut
