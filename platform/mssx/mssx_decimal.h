// Exact decimal numbers of the embedded SQL Server: up to 38 digits held as a
// 128-bit count of units of the scale, and SQL Server's rules for the
// precision and scale of arithmetic results.
#pragma once
#include <string>
#include "platform/mssx/mssx_value.h"

// Largest precision of decimal and numeric.
constexpr int kMssxMaxPrecision = 38;
// Least scale of a division result (and of an AVG over decimals).
constexpr int kMssxMinDivisionScale = 6;

struct mssx_decimal {
    __int128 units = 0; // the value times 10^scale
    int scale = 0;
};

// Reads an integer, numeric text or a float at the given scale, rounding half
// away from zero. A float is read by its 15 significant digits (the precision
// SQL Server gives float, and all an exact decimal kept as a float has).
// False when the value is no number or needs more than 38 digits.
bool mssx_decimal_from(const mssx_value& v, int scale, mssx_decimal& out);
// "-12.30" for units -1230 at scale 2.
std::string mssx_decimal_text(const mssx_decimal& d);
// The form a column keeps: a float when 15 digits hold the value exactly, text otherwise.
mssx_value mssx_decimal_value(const mssx_decimal& d);
// Whether |units| fits in 38 digits.
bool mssx_decimal_fits(__int128 units);

// Exact a op b ('+', '-', '*', '/', '%') with the result at `scale`, rounded
// half away from zero; a decimal quotient keeps the digits of the scale and
// drops the rest, as SQL Server's decimal division does, unless
// `round_quotient` (money). False when the result needs more than
// `precision` digits. The divisor of '/' and '%' is not zero.
bool mssx_decimal_arithmetic(char op, const mssx_decimal& a, const mssx_decimal& b, int precision, int scale,
                             bool round_quotient, mssx_decimal& out);
// -1, 0 or 1 as a is less than, equal to or greater than b, whatever their scales.
int mssx_decimal_compare(const mssx_decimal& a, const mssx_decimal& b);

// The exact numeric view of a type: decimal(p,s) for int (10,0), money (19,4) ...
// False for types that are not exact numbers.
bool mssx_numeric_shape(const mssx_type& t, int& precision, int& scale);
// The result type of a op b for exact numeric operands ('+', '-', '*', '/'),
// after SQL Server's data type precedence (decimal over money over integers).
mssx_type mssx_arithmetic_type(char op, const mssx_type& a, const mssx_type& b);
// The result type of SUM and AVG over a column of type t.
mssx_type mssx_sum_type(const mssx_type& t);
mssx_type mssx_avg_type(const mssx_type& t);
