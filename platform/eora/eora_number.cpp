#include "platform/eora/eora_number.h"

#include "platform/eora/eora_error.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace eora {

namespace {

void normalize(decimal& d)
{
    size_t lead = d.digits.find_first_not_of('0');
    if (lead == std::string::npos) {
        d.digits.clear();
        d.exp = 0;
        d.neg = false;
        return;
    }
    d.digits.erase(0, lead);
    size_t last = d.digits.find_last_not_of('0');
    d.exp += static_cast<int>(d.digits.size() - last - 1);
    d.digits.erase(last + 1);
}

// Drops `drop` trailing digits, rounding half away from zero.
void drop_digits(decimal& d, int drop)
{
    if (drop <= 0) return;
    int len = static_cast<int>(d.digits.size());
    if (drop > len) {
        d.digits.clear();
        normalize(d);
        return;
    }
    bool up = d.digits[len - drop] >= '5';
    d.digits.erase(len - drop);
    d.exp += drop;
    if (up) {
        int i = static_cast<int>(d.digits.size()) - 1;
        while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
        if (i < 0)
            d.digits.insert(d.digits.begin(), '1');
        else
            ++d.digits[i];
    }
    normalize(d);
}

} // namespace

std::optional<decimal> parse_decimal(std::string_view s)
{
    size_t i = 0, n = s.size();
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    while (n > i && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
    decimal d;
    if (i < n && (s[i] == '+' || s[i] == '-')) d.neg = s[i++] == '-';
    bool any = false;
    int frac = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
        d.digits += s[i++];
        any = true;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            d.digits += s[i++];
            ++frac;
            any = true;
        }
    }
    if (!any) return std::nullopt;
    long e = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
        if (i >= n || s[i] < '0' || s[i] > '9') return std::nullopt;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            if (e < 100000) e = e * 10 + (s[i] - '0');
            ++i;
        }
        if (eneg) e = -e;
    }
    if (i != n) return std::nullopt;
    d.exp = static_cast<int>(e) - frac;
    normalize(d);
    return d;
}

decimal decimal_from_int(int64_t v)
{
    decimal d;
    d.neg = v < 0;
    uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    d.digits = std::to_string(u);
    normalize(d);
    return d;
}

decimal decimal_from_double(double v)
{
    if (!std::isfinite(v)) raise(1426);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    auto d = parse_decimal(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
    return d ? *d : decimal{};
}

std::string decimal::text() const
{
    if (zero()) return "0";
    std::string out = neg ? "-" : "";
    int len = static_cast<int>(digits.size());
    int ip = len + exp;
    if (ip > 40 || ip < -40) {
        out += digits.substr(0, 1);
        if (len > 1) out += "." + digits.substr(1);
        int e = ip - 1;
        out += e < 0 ? "E-" : "E+";
        std::string es = std::to_string(std::abs(e));
        if (es.size() < 2) es = "0" + es;
        return out + es;
    }
    if (exp >= 0) return out + digits + std::string(static_cast<size_t>(exp), '0');
    if (ip <= 0) return out + "." + std::string(static_cast<size_t>(-ip), '0') + digits;
    return out + digits.substr(0, static_cast<size_t>(ip)) + "." + digits.substr(static_cast<size_t>(ip));
}

std::optional<int64_t> decimal::to_int64() const
{
    if (zero()) return 0;
    if (exp < 0 || int_digits() > 18) return std::nullopt;
    int64_t v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    for (int i = 0; i < exp; ++i) v *= 10;
    return neg ? -v : v;
}

double decimal::to_double() const { return std::strtod(text().c_str(), nullptr); }

void decimal::round_scale(int scale) { drop_digits(*this, -scale - exp); }

void decimal::round_significant(int n) { drop_digits(*this, static_cast<int>(digits.size()) - n); }

void decimal::check_range()
{
    if (zero()) return;
    if (int_digits() > 126) raise(1426);
    if (int_digits() < -129) {
        digits.clear();
        normalize(*this);
    }
}

void fit_number(decimal& d, int precision, int scale, bool is_float)
{
    if (is_float) {
        int bits = precision > 0 ? precision : 126;
        d.round_significant(static_cast<int>(std::ceil(bits * 0.30103)));
    } else if (precision > 0) {
        d.round_scale(scale);
        if (!d.zero() && d.int_digits() > precision - scale) raise(1438);
    } else {
        d.round_significant(38);
    }
    d.check_range();
}

} // namespace eora
