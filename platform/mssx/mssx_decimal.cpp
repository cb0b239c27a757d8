#include "platform/mssx/mssx_decimal.h"
#include <algorithm>
#include <cstdio>

namespace {

// Products are taken unsigned: signed 128-bit multiplication under clang's
// overflow checks needs a runtime helper the GNU runtime lacks.
__int128 ten_to(int n)
{
    unsigned __int128 r = 1;
    for (int i = 0; i < n; ++i) r *= 10;
    return static_cast<__int128>(r);
}

int integer_precision(const std::string& name)
{
    if (name == "bigint") return 19;
    if (name == "int") return 10;
    if (name == "smallint") return 5;
    if (name == "tinyint") return 3;
    return 1; // bit
}

mssx_type decimal_type(int precision, int scale)
{
    mssx_type t;
    t.name = "decimal";
    t.precision = precision;
    t.scale = scale;
    return t;
}

// Rank in SQL Server's data type precedence among the exact numbers.
int rank(const mssx_type& t)
{
    if (t.name == "decimal" || t.name == "numeric") return 5;
    if (t.name == "money") return 4;
    if (t.name == "smallmoney") return 3;
    if (t.name == "bigint") return 2;
    return 1;
}

// Precedence among the integer types: bigint, int, smallint, tinyint, bit.
int integer_rank(const mssx_type& t)
{
    if (t.name == "bigint") return 4;
    if (t.name == "int") return 3;
    if (t.name == "smallint") return 2;
    if (t.name == "tinyint") return 1;
    return 0;
}

// Magnitudes of up to 77 digits: what two 38-digit operands brought to one
// scale, or multiplied, can take.
struct wide {
    unsigned __int128 hi = 0, lo = 0;
};

bool less(const wide& a, const wide& b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }

wide add(const wide& a, const wide& b)
{
    wide r{a.hi + b.hi, a.lo + b.lo};
    if (r.lo < a.lo) ++r.hi;
    return r;
}

// a - b for a >= b
wide sub(const wide& a, const wide& b)
{
    wide r{a.hi - b.hi, a.lo - b.lo};
    if (a.lo < b.lo) --r.hi;
    return r;
}

wide mul(unsigned __int128 a, unsigned __int128 b)
{
    using u128 = unsigned __int128;
    const u128 mask = ~static_cast<uint64_t>(0);
    u128 a0 = a & mask, a1 = a >> 64, b0 = b & mask, b1 = b >> 64;
    u128 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    u128 mid = (p00 >> 64) + (p01 & mask) + (p10 & mask);
    return {p11 + (p01 >> 64) + (p10 >> 64) + (mid >> 64), (mid << 64) | (p00 & mask)};
}

// a * m for a result that stays below 2^256
wide mul(const wide& a, unsigned __int128 m)
{
    wide r = mul(a.lo, m);
    r.hi += a.hi * m;
    return r;
}

wide scaled(unsigned __int128 units, int digits)
{
    wide r{0, units};
    for (int i = 0; i < digits; ++i) r = mul(r, 10);
    return r;
}

// n / d and n % d for d > 0
wide divide(const wide& n, const wide& d, wide& rem)
{
    wide q, r;
    for (int bit = 255; bit >= 0; --bit) {
        r = {(r.hi << 1) | (r.lo >> 127), r.lo << 1};
        unsigned __int128 word = bit >= 128 ? n.hi : n.lo;
        if ((word >> (bit % 128)) & 1) r.lo |= 1;
        if (!less(r, d)) {
            r = sub(r, d);
            if (bit >= 128)
                q.hi |= static_cast<unsigned __int128>(1) << (bit - 128);
            else
                q.lo |= static_cast<unsigned __int128>(1) << bit;
        }
    }
    rem = r;
    return q;
}

unsigned __int128 magnitude(__int128 v)
{
    return v < 0 ? static_cast<unsigned __int128>(0) - static_cast<unsigned __int128>(v)
                 : static_cast<unsigned __int128>(v);
}

// m / 10^digits, rounded half away from zero or cut
wide rescale_down(const wide& m, int digits, bool round)
{
    if (digits <= 0) return m;
    wide d = scaled(1, digits), rem;
    wide q = divide(m, d, rem);
    if (round && !less(add(rem, rem), d)) q = add(q, {0, 1});
    return q;
}

} // namespace

bool mssx_decimal_arithmetic(char op, const mssx_decimal& a, const mssx_decimal& b, int precision, int scale,
                             bool round_quotient, mssx_decimal& out)
{
    bool neg_a = a.units < 0, neg_b = b.units < 0;
    wide result;
    bool negative = false;
    int result_scale = scale; // the scale `result` holds
    if (op == '+' || op == '-') {
        int common = std::max(a.scale, b.scale);
        wide x = scaled(magnitude(a.units), common - a.scale), y = scaled(magnitude(b.units), common - b.scale);
        if (op == '-') neg_b = !neg_b;
        if (neg_a == neg_b) {
            result = add(x, y);
            negative = neg_a;
        } else if (less(x, y)) {
            result = sub(y, x);
            negative = neg_b;
        } else {
            result = sub(x, y);
            negative = neg_a;
        }
        result_scale = common;
    } else if (op == '*') {
        result = mul(magnitude(a.units), magnitude(b.units));
        negative = neg_a != neg_b;
        result_scale = a.scale + b.scale;
    } else if (op == '/') {
        // (A / 10^sa) / (B / 10^sb) = (A * 10^sb) / (B * 10^sa), one digit of the scale at a time
        wide num = scaled(magnitude(a.units), b.scale), den = scaled(magnitude(b.units), a.scale), rem;
        result = divide(num, den, rem);
        if (result.hi != 0 || result.lo >= static_cast<unsigned __int128>(ten_to(kMssxMaxPrecision))) return false;
        int digits = scale + (round_quotient ? 1 : 0);
        for (int i = 0; i < digits; ++i) {
            rem = mul(rem, 10);
            unsigned digit = 0;
            while (!less(rem, den)) {
                rem = sub(rem, den);
                ++digit;
            }
            result = add(mul(result, 10), {0, digit});
        }
        negative = neg_a != neg_b;
        result_scale = digits;
    } else { // '%': the sign of the dividend
        int common = std::max(a.scale, b.scale);
        wide x = scaled(magnitude(a.units), common - a.scale), y = scaled(magnitude(b.units), common - b.scale);
        divide(x, y, result);
        negative = neg_a;
        result_scale = common;
    }
    if (result_scale > scale)
        result = rescale_down(result, result_scale - scale, op != '/' || round_quotient);
    else if (result_scale < scale)
        result = mul(result, static_cast<unsigned __int128>(ten_to(scale - result_scale)));
    if (result.hi != 0 || result.lo >= static_cast<unsigned __int128>(ten_to(precision))) return false;
    __int128 units = static_cast<__int128>(result.lo);
    out.units = negative ? -units : units;
    out.scale = scale;
    return true;
}

int mssx_decimal_compare(const mssx_decimal& a, const mssx_decimal& b)
{
    bool neg_a = a.units < 0, neg_b = b.units < 0;
    if (neg_a != neg_b) return neg_a ? -1 : 1;
    int common = std::max(a.scale, b.scale);
    wide x = scaled(magnitude(a.units), common - a.scale), y = scaled(magnitude(b.units), common - b.scale);
    int c = less(x, y) ? -1 : less(y, x) ? 1 : 0;
    return neg_a ? -c : c;
}

bool mssx_decimal_fits(__int128 units)
{
    static const __int128 limit = ten_to(kMssxMaxPrecision);
    return units < limit && units > -limit;
}

bool mssx_decimal_from(const mssx_value& v, int scale, mssx_decimal& out)
{
    std::string text;
    if (auto i = std::get_if<int64_t>(&v))
        text = std::to_string(*i);
    else if (auto d = std::get_if<double>(&v)) {
        char b[64];
        std::snprintf(b, sizeof b, "%.15g", *d);
        text = b;
    } else if (auto s = std::get_if<std::string>(&v))
        text = *s;
    else
        return false;
    std::string norm;
    if (!mssx_normalize_decimal(text, kMssxMaxPrecision, scale, norm)) return false;
    unsigned __int128 u = 0;
    bool neg = false;
    for (char c : norm) {
        if (c == '-')
            neg = true;
        else if (c >= '0' && c <= '9')
            u = u * 10 + static_cast<unsigned>(c - '0');
    }
    // at most 38 digits: the value fits the signed type
    out.units = neg ? -static_cast<__int128>(u) : static_cast<__int128>(u);
    out.scale = scale;
    return true;
}

std::string mssx_decimal_text(const mssx_decimal& d)
{
    __int128 u = d.units < 0 ? -d.units : d.units;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
        u /= 10;
    } while (u > 0);
    if (static_cast<int>(digits.size()) <= d.scale)
        digits.insert(0, static_cast<size_t>(d.scale) + 1 - digits.size(), '0');
    if (d.scale > 0) digits.insert(digits.size() - static_cast<size_t>(d.scale), ".");
    return (d.units < 0 ? "-" : "") + digits;
}

mssx_value mssx_decimal_value(const mssx_decimal& d)
{
    std::string text = mssx_decimal_text(d);
    size_t significant = 0;
    bool started = false;
    for (char c : text) {
        if (c < '0' || c > '9') continue;
        started = started || c != '0';
        if (started) ++significant;
    }
    if (significant <= 15) return std::strtod(text.c_str(), nullptr);
    return text;
}

bool mssx_numeric_shape(const mssx_type& t, int& precision, int& scale)
{
    if (t.is_integer()) {
        precision = integer_precision(t.name);
        scale = 0;
        return true;
    }
    if (t.name == "money") {
        precision = 19;
        scale = 4;
        return true;
    }
    if (t.name == "smallmoney") {
        precision = 10;
        scale = 4;
        return true;
    }
    if (t.name == "decimal" || t.name == "numeric") {
        precision = t.precision;
        scale = t.scale;
        return true;
    }
    return false;
}

mssx_type mssx_arithmetic_type(char op, const mssx_type& a, const mssx_type& b)
{
    const mssx_type& high = rank(a) >= rank(b) ? a : b;
    if (rank(high) < 5) {
        // money, smallmoney and integers keep the type of higher precedence
        if (high.name == "smallmoney" && (a.name == "smallmoney") != (b.name == "smallmoney")) return high;
        if (a.is_integer() && b.is_integer()) {
            // the operand of higher precedence gives the type; bit computes as int
            const mssx_type& h = integer_rank(a) >= integer_rank(b) ? a : b;
            return h.name == "bit" ? mssx_make_type("int", {}) : h;
        }
        return high;
    }
    int p1 = 0, s1 = 0, p2 = 0, s2 = 0;
    mssx_numeric_shape(a, p1, s1);
    mssx_numeric_shape(b, p2, s2);
    int p = 0, s = 0;
    switch (op) {
    case '*':
        p = p1 + p2 + 1;
        s = s1 + s2;
        break;
    case '/':
        s = std::max(kMssxMinDivisionScale, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
        break;
    case '%':
        s = std::max(s1, s2);
        p = std::min(p1 - s1, p2 - s2) + s;
        break;
    default:
        s = std::max(s1, s2);
        p = std::max(p1 - s1, p2 - s2) + s + 1;
        break;
    }
    if (p > kMssxMaxPrecision) {
        // the integral part is kept; the scale gives way, down to 6 digits
        int integral = p - s;
        if (op == '+' || op == '-')
            s = std::max(0, std::min(s, kMssxMaxPrecision - integral));
        else if (integral < kMssxMaxPrecision - kMssxMinDivisionScale)
            s = std::min(s, kMssxMaxPrecision - integral);
        else if (s > kMssxMinDivisionScale)
            s = kMssxMinDivisionScale;
        p = kMssxMaxPrecision;
    }
    // numeric literals and columns keep their name unless a decimal takes part
    mssx_type out = decimal_type(p, s);
    if (a.name != "decimal" && b.name != "decimal" && (a.name == "numeric" || b.name == "numeric"))
        out.name = "numeric";
    return out;
}

mssx_type mssx_sum_type(const mssx_type& t)
{
    if (t.name == "money" || t.name == "smallmoney") return mssx_make_type("money", {});
    if (t.name == "decimal" || t.name == "numeric") return decimal_type(kMssxMaxPrecision, t.scale);
    if (t.name == "bigint") return t;
    if (t.is_integer()) return mssx_make_type("int", {});
    return mssx_make_type("float", {});
}

mssx_type mssx_avg_type(const mssx_type& t)
{
    if (t.name == "decimal" || t.name == "numeric")
        return decimal_type(kMssxMaxPrecision, std::max(t.scale, kMssxMinDivisionScale));
    return mssx_sum_type(t);
}
