// Exact decimal numbers of the embedded Oracle (NUMBER never goes through
// binary floating point).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace eora {

struct decimal {
    bool neg = false;
    std::string digits; // no leading or trailing zeros; empty means zero
    int exp = 0;        // value = digits * 10^exp

    bool zero() const { return digits.empty(); }
    // Digits before the decimal point (may be <= 0 for values below 1).
    int int_digits() const { return static_cast<int>(digits.size()) + exp; }

    // Oracle's text: ".5", "-12.25", "100"; exponent form beyond 40 characters.
    std::string text() const;
    std::optional<int64_t> to_int64() const;
    double to_double() const;

    void round_scale(int scale);
    void round_significant(int n);
    // ORA-01426 beyond Oracle's range; tiny values become zero.
    void check_range();
};

// Parses Oracle number text ("12", "-1.5e3", " .5 "); nullopt when it is not one.
std::optional<decimal> parse_decimal(std::string_view s);
decimal decimal_from_int(int64_t v);
decimal decimal_from_double(double v);

// Fits a value to NUMBER(p,s) (p 0 = unconstrained, scale_given false = float
// semantics with p binary bits when is_float). Raises ORA-01438 / ORA-01426.
void fit_number(decimal& d, int precision, int scale, bool is_float);

} // namespace eora
