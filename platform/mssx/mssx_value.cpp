// Column types and exact value conversion of the embedded SQL Server.
#include "platform/mssx/mssx_value.h"
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include "platform/embedded/embedded_civil_date.h"
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_variant.h"

namespace {

using embedded::civil_from_days;
using embedded::days_from_civil;

// Significant decimal digits of a float value.
constexpr int kFloatDigits = 15;

std::string lower(std::string s)
{
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

const char* type_label_of(const mssx_value& v)
{
    if (std::holds_alternative<int64_t>(v)) return "int";
    if (std::holds_alternative<double>(v)) return "float";
    if (std::holds_alternative<mssx_blob>(v)) return "varbinary";
    return "varchar";
}

// printf's "%.<digits>g" of a double; to_chars writes the same text without
// the format machinery (printf stays for what its buffer would not hold).
std::string g_text(double d, int digits)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, digits);
    if (r.ec == std::errc()) return std::string(buf, r.ptr);
    std::snprintf(buf, sizeof buf, "%.*g", digits, d);
    return buf;
}

// printf's "%.<places>f" of a double, cut to 79 characters as its buffer was.
std::string f_text(double d, int places)
{
    char buf[80];
    const auto r = std::to_chars(buf, buf + sizeof buf - 1, d, std::chars_format::fixed, places);
    if (r.ec == std::errc()) return std::string(buf, r.ptr);
    std::snprintf(buf, sizeof buf, "%.*f", places, d);
    return buf;
}

std::string plain_text(const mssx_value& v)
{
    if (auto p = std::get_if<int64_t>(&v)) return std::to_string(*p);
    if (auto p = std::get_if<double>(&v)) return g_text(*p, 17);
    if (auto p = std::get_if<std::string>(&v)) return *p;
    if (auto p = std::get_if<mssx_blob>(&v)) return p->bytes;
    return {};
}

[[noreturn]] void conversion_failed(const mssx_value& v, const mssx_type& t)
{
    throw mssx_error(245, "Conversion failed when converting the " + std::string(type_label_of(v)) + " value '" +
                              plain_text(v) + "' to data type " + t.name + ".");
}

[[noreturn]] void overflow(const mssx_type& t, const char* from = "expression")
{
    throw mssx_error(8115,
                     "Arithmetic overflow error converting " + std::string(from) + " to data type " + t.name + ".");
}

// Days from 1970-01-01 for a civil date (proleptic Gregorian).
bool valid_date(int y, int m, int d)
{
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static const int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int max = dim[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) max = 29;
    return d <= max;
}

struct dt_parts {
    int y = 1900, m = 1, d = 1, hh = 0, mi = 0, ss = 0;
    int64_t ns = 0; // fraction of the second in nanoseconds
    bool has_date = false, has_time = false, has_tz = false;
    int tz_minutes = 0;
};

bool all_digits(const std::string& s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool parse_time_part(const std::string& s, dt_parts& p)
{
    // hh:mm[:ss[.fffffff]] [AM|PM]
    std::string t = trim(s);
    bool pm = false, am = false;
    std::string up = lower(t);
    if (up.size() >= 2 && (up.ends_with("am") || up.ends_with("pm"))) {
        pm = up.ends_with("pm");
        am = !pm;
        t = trim(t.substr(0, t.size() - 2));
    }
    int fields[3] = {0, 0, 0};
    size_t pos = 0;
    int nf = 0;
    while (nf < 3) {
        size_t b = pos;
        while (pos < t.size() && std::isdigit(static_cast<unsigned char>(t[pos]))) ++pos;
        if (pos == b || pos - b > 2) return false;
        fields[nf++] = std::atoi(t.substr(b, pos - b).c_str());
        if (pos < t.size() && t[pos] == ':') {
            ++pos;
            continue;
        }
        break;
    }
    if (nf < 2) return false;
    int64_t ns = 0;
    if (pos < t.size() && (t[pos] == '.' || t[pos] == ':')) {
        ++pos;
        size_t b = pos;
        while (pos < t.size() && std::isdigit(static_cast<unsigned char>(t[pos]))) ++pos;
        std::string frac = t.substr(b, pos - b);
        if (frac.empty() || frac.size() > 9) return false;
        frac.resize(9, '0');
        ns = std::atoll(frac.c_str());
    }
    if (pos != t.size()) return false;
    int h = fields[0];
    if (am || pm) {
        if (h < 1 || h > 12) return false;
        if (pm && h < 12) h += 12;
        if (am && h == 12) h = 0;
    }
    if (h > 23 || fields[1] > 59 || fields[2] > 59) return false;
    p.hh = h;
    p.mi = fields[1];
    p.ss = fields[2];
    p.ns = ns;
    p.has_time = true;
    return true;
}

bool parse_date_part(const std::string& s, const std::string& dateformat, dt_parts& p)
{
    if (all_digits(s)) {
        if (s.size() != 8) return false;
        p.y = std::atoi(s.substr(0, 4).c_str());
        p.m = std::atoi(s.substr(4, 2).c_str());
        p.d = std::atoi(s.substr(6, 2).c_str());
    } else {
        char sep = 0;
        for (char c : s)
            if (c == '-' || c == '/' || c == '.') {
                sep = c;
                break;
            }
        if (!sep) return false;
        std::vector<std::string> f;
        size_t b = 0;
        for (size_t i = 0; i <= s.size(); ++i)
            if (i == s.size() || s[i] == sep) {
                f.push_back(s.substr(b, i - b));
                b = i + 1;
            }
        if (f.size() != 3) return false;
        for (auto& x : f)
            if (!all_digits(x)) return false;
        int a = std::atoi(f[0].c_str()), bb = std::atoi(f[1].c_str()), c = std::atoi(f[2].c_str());
        if (f[0].size() == 4) { // year first: ymd
            p.y = a;
            p.m = bb;
            p.d = c;
        } else {
            std::string fmt = dateformat.empty() ? "mdy" : dateformat;
            int year = c;
            if (f[2].size() <= 2) year += year < 50 ? 2000 : 1900;
            if (fmt == "dmy") {
                p.d = a;
                p.m = bb;
                p.y = year;
            } else {
                p.m = a;
                p.d = bb;
                p.y = year;
            }
        }
    }
    if (!valid_date(p.y, p.m, p.d)) return false;
    p.has_date = true;
    return true;
}

bool parse_dt(const std::string& in, const std::string& dateformat, dt_parts& p)
{
    std::string s = trim(in);
    if (s.empty()) {
        p.has_date = true;
        return true;
    } // '' is 1900-01-01 00:00:00
    // Offset at the end: +hh:mm / -hh:mm / Z
    if (s.size() > 6) {
        std::string tail = s.substr(s.size() - 6);
        if ((tail[0] == '+' || tail[0] == '-') && std::isdigit(static_cast<unsigned char>(tail[1])) && tail[3] == ':') {
            int h = std::atoi(tail.substr(1, 2).c_str()), mnt = std::atoi(tail.substr(4, 2).c_str());
            if (h > 14 || mnt > 59) return false;
            p.tz_minutes = (tail[0] == '-' ? -1 : 1) * (h * 60 + mnt);
            p.has_tz = true;
            s = trim(s.substr(0, s.size() - 6));
        }
    }
    if (!s.empty() && (s.back() == 'Z' || s.back() == 'z') && s.find('T') != std::string::npos) {
        p.has_tz = true;
        s.pop_back();
    }
    size_t split = s.find_first_of(" T");
    std::string a = split == std::string::npos ? s : s.substr(0, split);
    std::string b = split == std::string::npos ? std::string() : trim(s.substr(split + 1));
    if (a.find(':') != std::string::npos && b.empty()) return parse_time_part(a, p);
    if (!parse_date_part(a, dateformat, p)) return false;
    if (!b.empty() && !parse_time_part(b, p)) return false;
    return true;
}

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string format_date(int y, int m, int d)
{
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d);
    return b;
}

void add_seconds(dt_parts& p, int n)
{
    int64_t days = days_from_civil(p.y, p.m, p.d);
    int64_t secs = p.hh * 3600 + p.mi * 60 + p.ss + n;
    days += secs / 86400;
    secs %= 86400;
    civil_from_days(days, p.y, p.m, p.d);
    p.hh = static_cast<int>(secs / 3600);
    p.mi = static_cast<int>(secs / 60 % 60);
    p.ss = static_cast<int>(secs % 60);
}

// Rounds the fraction to `digits` decimal digits and carries into the date.
void round_fraction(dt_parts& p, int digits, int64_t& frac_units)
{
    int64_t unit = 1;
    for (int i = digits; i < 9; ++i) unit *= 10;
    int64_t q = (p.ns + unit / 2) / unit;
    int64_t limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    if (q >= limit) {
        q -= limit;
        add_seconds(p, 1);
    }
    frac_units = q;
}

std::string fraction_text(int64_t units, int digits)
{
    if (digits == 0) return {};
    std::string s = std::to_string(units);
    if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    return "." + s;
}

std::string time_text(const dt_parts& p) { return two(p.hh) + ":" + two(p.mi) + ":" + two(p.ss); }

bool significant_digits_ok(const std::string& dec)
{
    int n = 0;
    bool started = false;
    for (char c : dec) {
        if (!std::isdigit(static_cast<unsigned char>(c))) continue;
        if (c != '0') started = true;
        if (started) ++n;
    }
    // trailing zeros of the fraction count too, they are harmless
    return n <= 15;
}

} // namespace

bool mssx_type::is_integer() const
{
    return name == "int" || name == "bigint" || name == "smallint" || name == "tinyint" || name == "bit" ||
           name == "ole_ui2" || name == "ole_ui4" || name == "ole_ui8";
}
bool mssx_type::is_exact_decimal() const
{
    return name == "decimal" || name == "numeric" || name == "money" || name == "smallmoney";
}
bool mssx_type::is_float() const { return name == "float" || name == "real"; }
bool mssx_type::is_char() const { return name == "char" || name == "varchar" || name == "text"; }
bool mssx_type::is_nchar() const
{
    return name == "nchar" || name == "nvarchar" || name == "ntext" || name == "xml" || name == "sysname";
}
bool mssx_type::is_binary() const
{
    return name == "binary" || name == "varbinary" || name == "image" || name == "rowversion" || name == "timestamp";
}
bool mssx_type::is_datetime() const
{
    return name == "datetime" || name == "smalldatetime" || name == "datetime2" || name == "date" || name == "time" ||
           name == "datetimeoffset";
}

std::string mssx_type::sql_text() const
{
    if (name == "decimal" || name == "numeric")
        return name + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    if (name == "char" || name == "varchar" || name == "nchar" || name == "nvarchar" || name == "binary" ||
        name == "varbinary")
        return name + "(" + (length < 0 ? std::string("max") : std::to_string(length)) + ")";
    if (name == "datetime2" || name == "time" || name == "datetimeoffset")
        return name + "(" + std::to_string(scale) + ")";
    if (name == "float" && precision != 53) return name + "(" + std::to_string(precision) + ")";
    return name;
}

const char* mssx_type::storage_decl() const
{
    if (is_integer()) return "INTEGER";
    if (is_float()) return "REAL";
    if (is_binary()) return "BLOB";
    if (is_exact_decimal() || name == "sql_variant") return ""; // no affinity: values stay as bound
    return "TEXT";
}

int mssx_fixed_size(const mssx_type& t)
{
    static const std::pair<const char*, int> sizes[] = {{"bigint", 8},
                                                        {"int", 4},
                                                        {"smallint", 2},
                                                        {"tinyint", 1},
                                                        {"bit", 1},
                                                        {"float", 8},
                                                        {"real", 4},
                                                        {"money", 8},
                                                        {"smallmoney", 4},
                                                        {"datetime", 8},
                                                        {"date", 3},
                                                        {"smalldatetime", 4},
                                                        {"uniqueidentifier", 16},
                                                        {"rowversion", 8},
                                                        {"timestamp", 8}};
    for (const auto& [name, size] : sizes)
        if (t.name == name) return size;
    if (t.name == "decimal" || t.name == "numeric")
        return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    // the time types grow with their fractional digits
    int frac = t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
    if (t.name == "time") return frac;
    if (t.name == "datetime2") return frac + 3;
    if (t.name == "datetimeoffset") return frac + 5;
    if (t.name == "binary" || t.name == "char") return static_cast<int>(t.length);
    if (t.name == "nchar") return static_cast<int>(2 * t.length);
    return 0;
}

mssx_type mssx_make_type(const std::string& raw, const std::vector<std::string>& args)
{
    mssx_type t;
    t.name = lower(raw);
    if (t.name == "integer") t.name = "int";
    if (t.name == "character") t.name = "char";
    if (t.name == "dec") t.name = "decimal";
    if (t.name == "double precision") t.name = "float";
    auto arg = [&](size_t i) -> int64_t {
        if (i >= args.size()) return -2;
        if (lower(args[i]) == "max") return -1;
        if (!all_digits(args[i])) throw mssx_error(102, "Incorrect syntax near '" + args[i] + "'.", 15);
        return std::atoll(args[i].c_str());
    };
    static const char* known[] = {"int", "bigint", "smallint", "tinyint", "bit", "decimal", "numeric", "money",
                                  "smallmoney", "float", "real", "char", "varchar", "text", "nchar", "nvarchar",
                                  "ntext", "xml", "binary", "varbinary", "image", "datetime", "smalldatetime",
                                  "datetime2", "date", "time", "datetimeoffset", "uniqueidentifier", "sql_variant",
                                  "rowversion", "timestamp", "sysname", "hierarchyid", "geometry", "geography",
                                  // column types of the provider's own rowsets (unsigned and OLE date columns)
                                  "ole_ui2", "ole_ui4", "ole_ui8", "ole_date"};
    if (std::find_if(std::begin(known), std::end(known), [&](const char* k) { return t.name == k; }) == std::end(known))
        throw mssx_error(2715, "Column, parameter, or variable #1: Cannot find data type " + raw + ".");
    if (t.name == "sysname") {
        t.name = "nvarchar";
        t.length = 128;
        return t;
    }
    if (t.name == "char" || t.name == "varchar" || t.name == "nchar" || t.name == "nvarchar" || t.name == "binary" ||
        t.name == "varbinary") {
        int64_t n = arg(0);
        if (n == -1 && (t.name == "char" || t.name == "nchar" || t.name == "binary"))
            throw mssx_error(102, "Incorrect syntax near 'max'.", 15);
        t.length = n == -2 ? 1 : n;
        int64_t limit = (t.name[0] == 'n') ? 4000 : 8000;
        if (t.length == 0 || t.length > limit)
            throw mssx_error(131, "The size (" + std::to_string(t.length) +
                                      ") given to the column exceeds the maximum allowed for any data type (" +
                                      std::to_string(limit) + ").");
    } else if (t.name == "decimal" || t.name == "numeric") {
        int64_t p = arg(0), s = arg(1);
        t.precision = p == -2 ? 18 : static_cast<int>(p);
        t.scale = s == -2 ? 0 : static_cast<int>(s);
        if (t.precision < 1 || t.precision > 38)
            throw mssx_error(2750, "Column or parameter #1: Specified column precision " + std::to_string(t.precision) +
                                       " is greater than the maximum precision of 38.");
        if (t.scale < 0 || t.scale > t.precision)
            throw mssx_error(2751, "Column or parameter #1: Specified column scale " + std::to_string(t.scale) +
                                       " is greater than the specified precision of " + std::to_string(t.precision) +
                                       ".");
    } else if (t.name == "money") {
        t.precision = 19;
        t.scale = 4;
    } else if (t.name == "smallmoney") {
        t.precision = 10;
        t.scale = 4;
    } else if (t.name == "float") {
        int64_t p = arg(0);
        t.precision = p == -2 ? 53 : (p <= 24 ? 24 : 53);
        if (t.precision == 24) t.name = "real";
    } else if (t.name == "real")
        t.precision = 24;
    else if (t.name == "datetime2" || t.name == "time" || t.name == "datetimeoffset") {
        int64_t k = arg(0);
        t.scale = k == -2 ? 7 : static_cast<int>(k);
        if (t.scale < 0 || t.scale > 7)
            throw mssx_error(1002, "Line 1: Specified scale " + std::to_string(t.scale) + " is invalid.");
    } else if (t.name == "datetime")
        t.scale = 3;
    else if (t.name == "text" || t.name == "ntext" || t.name == "image" || t.name == "xml")
        t.length = -1;
    else if (t.name == "rowversion" || t.name == "timestamp")
        t.length = 8;
    return t;
}

bool mssx_normalize_decimal(const std::string& in, int precision, int scale, std::string& out)
{
    std::string s = trim(in);
    bool neg = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    if (i < s.size() && s[i] == '$') ++i;
    std::string ip, fp;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ip += s[i++];
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) fp += s[i++];
    }
    int exp = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        std::string e;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) e += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) e += s[i++];
        if (e.empty() || e == "+" || e == "-") return false;
        exp = std::atoi(e.c_str());
        if (exp > 400 || exp < -400) return false;
    }
    if (i != s.size() || (ip.empty() && fp.empty())) return false;
    // shift by the exponent
    std::string digits = ip + fp;
    int point = static_cast<int>(ip.size()) + exp;
    if (point < 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    if (point > static_cast<int>(digits.size())) digits.append(static_cast<size_t>(point) - digits.size(), '0');
    ip = digits.substr(0, static_cast<size_t>(point));
    fp = digits.substr(static_cast<size_t>(point));
    // round half away from zero to the scale
    bool round_up = static_cast<int>(fp.size()) > scale && fp[static_cast<size_t>(scale)] >= '5';
    fp.resize(static_cast<size_t>(scale), '0');
    std::string all = ip + fp;
    if (all.empty()) all = "0";
    if (round_up) {
        int k = static_cast<int>(all.size()) - 1;
        while (k >= 0) {
            if (all[static_cast<size_t>(k)] == '9') {
                all[static_cast<size_t>(k)] = '0';
                --k;
            } else {
                ++all[static_cast<size_t>(k)];
                break;
            }
        }
        if (k < 0) all.insert(0, "1");
    }
    size_t nz = all.find_first_not_of('0');
    std::string intpart = all.substr(0, all.size() - static_cast<size_t>(scale));
    std::string frac = all.substr(all.size() - static_cast<size_t>(scale));
    size_t inz = intpart.find_first_not_of('0');
    intpart = inz == std::string::npos ? "0" : intpart.substr(inz);
    int int_digits = intpart == "0" ? 0 : static_cast<int>(intpart.size());
    if (int_digits > precision - scale) return false;
    if (nz == std::string::npos) neg = false;
    out = (neg ? "-" : "") + intpart + (scale ? "." + frac : "");
    return true;
}

std::string mssx_new_guid()
{
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    uint64_t a = rng(), b = rng();
    a = (a & ~0xF000ull) | 0x4000ull;                        // version 4
    b = (b & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull; // variant
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(a >> 32),
                  static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                  static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return buf;
}

bool mssx_parse_datetime(const std::string& s, const mssx_type& t, const std::string& dateformat, std::string& out)
{
    dt_parts p;
    if (!parse_dt(s, dateformat, p)) return false;
    if (t.name == "time") {
        if (p.has_date && !p.has_time && !trim(s).empty()) return false;
        int64_t u = 0;
        round_fraction(p, t.scale, u);
        out = time_text(p) + fraction_text(u, t.scale);
        return true;
    }
    if (t.name == "date") {
        out = format_date(p.y, p.m, p.d);
        return true;
    }
    if (t.name == "datetime") {
        if (p.y < 1753) return false;
        // 1/300 s ticks, shown as milliseconds ending in 0, 3 or 7
        int64_t ticks = (p.ns * 300 + 500000000) / 1000000000;
        if (ticks >= 300) {
            add_seconds(p, 1);
            ticks = 0;
        }
        char ms[8];
        std::snprintf(ms, sizeof ms, ".%03d", static_cast<int>((ticks * 10 + 1) / 3));
        out = format_date(p.y, p.m, p.d) + " " + time_text(p) + ms;
        return true;
    }
    if (t.name == "smalldatetime") {
        if (p.y < 1900 || p.y > 2079) return false;
        bool up = p.ss * 1000000000LL + p.ns >= 29999000000LL;
        p.ss = 0;
        p.ns = 0;
        if (up) add_seconds(p, 60);
        out = format_date(p.y, p.m, p.d) + " " + time_text(p);
        return true;
    }
    int64_t u = 0;
    round_fraction(p, t.scale, u);
    out = format_date(p.y, p.m, p.d) + " " + time_text(p) + fraction_text(u, t.scale);
    if (t.name == "datetimeoffset") {
        int tz = p.tz_minutes;
        out += std::string(" ") + (tz < 0 ? "-" : "+") + two(std::abs(tz) / 60) + ":" + two(std::abs(tz) % 60);
    }
    return true;
}

mssx_value mssx_convert(const mssx_type& t, const mssx_value& v, const std::string& dateformat)
{
    if (mssx_is_null(v)) return v;
    if (t.is_integer()) {
        int64_t n = 0;
        if (auto p = std::get_if<int64_t>(&v))
            n = *p;
        else if (auto d = std::get_if<double>(&v)) {
            if (!(std::fabs(*d) < 9.3e18)) overflow(t, "float");
            n = static_cast<int64_t>(*d);
        } else if (auto s = std::get_if<std::string>(&v)) {
            std::string x = trim(*s);
            if (t.name == "bit" && (lower(x) == "true" || lower(x) == "false")) return int64_t(lower(x) == "true");
            std::string norm;
            if (x.find_first_of(".eE") != std::string::npos) {
                // numeric text into an integer column converts through numeric and truncates
                if (!mssx_normalize_decimal(x, 38, 0, norm)) conversion_failed(v, t);
                double d = std::strtod(x.c_str(), nullptr);
                if (!(std::fabs(d) < 9.3e18)) overflow(t);
                n = static_cast<int64_t>(d);
            } else {
                char* end = nullptr;
                errno = 0;
                long long r = x.empty() ? 0 : std::strtoll(x.c_str(), &end, 10);
                if (!x.empty() && (*end != '\0')) conversion_failed(v, t);
                if (errno == ERANGE) overflow(t);
                n = r;
            }
        } else
            conversion_failed(v, t);
        if (t.name == "bit") return int64_t(n != 0);
        int64_t lo = INT64_MIN, hi = INT64_MAX;
        if (t.name == "int") {
            lo = INT32_MIN;
            hi = INT32_MAX;
        } else if (t.name == "smallint") {
            lo = INT16_MIN;
            hi = INT16_MAX;
        } else if (t.name == "tinyint") {
            lo = 0;
            hi = 255;
        }
        if (n < lo || n > hi) {
            if (t.name == "tinyint" || t.name == "smallint")
                throw mssx_error(
                    220, "Arithmetic overflow error for data type " + t.name + ", value = " + std::to_string(n) + ".");
            overflow(t);
        }
        return n;
    }
    if (t.is_exact_decimal()) {
        std::string src;
        if (auto p = std::get_if<int64_t>(&v))
            src = std::to_string(*p);
        else if (auto d = std::get_if<double>(&v)) {
            // a float holds 15 significant digits; the binary noise past them is no part of the value
            if (!std::isfinite(*d)) overflow(t, "float");
            src = g_text(*d, kFloatDigits);
        } else if (auto s = std::get_if<std::string>(&v))
            src = *s;
        else
            conversion_failed(v, t);
        std::string norm;
        int prec = t.precision;
        if (t.name == "money" || t.name == "smallmoney") prec = t.name == "money" ? 19 : 10;
        if (!mssx_normalize_decimal(src, prec, t.scale, norm)) {
            // tell an overflow from text that is not a number
            std::string probe;
            if (mssx_normalize_decimal(src, 38 + 400, t.scale, probe))
                overflow(t, std::holds_alternative<std::string>(v) ? "varchar" : "numeric");
            if (t.name == "money" || t.name == "smallmoney")
                throw mssx_error(235, "Cannot convert a char value to money. The char value has incorrect syntax.");
            throw mssx_error(8114, "Error converting data type varchar to numeric.");
        }
        if (t.name == "money") {
            // money's range is that of a 64-bit count of ten-thousandths
            std::string digits;
            for (char c : norm)
                if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
            if (digits.size() >= 19 &&
                (digits.size() > 19 || digits > (norm[0] == '-' ? "9223372036854775808" : "9223372036854775807")))
                overflow(t);
        } else if (t.name == "smallmoney") {
            double d = std::strtod(norm.c_str(), nullptr);
            if (d > 214748.3647 || d < -214748.3648) overflow(t);
        }
        if (significant_digits_ok(norm)) return std::strtod(norm.c_str(), nullptr);
        return norm;
    }
    if (t.is_float()) {
        double d = 0;
        if (auto p = std::get_if<int64_t>(&v))
            d = static_cast<double>(*p);
        else if (auto q = std::get_if<double>(&v))
            d = *q;
        else if (auto s = std::get_if<std::string>(&v)) {
            std::string x = trim(*s);
            char* end = nullptr;
            d = std::strtod(x.c_str(), &end);
            if (x.empty() || *end != '\0' || !std::isfinite(d))
                throw mssx_error(8114, "Error converting data type varchar to float.");
        } else
            conversion_failed(v, t);
        if (t.name == "real") d = static_cast<double>(static_cast<float>(d));
        if (!std::isfinite(d)) overflow(t);
        return d;
    }
    if (t.is_string()) {
        if (std::holds_alternative<mssx_blob>(v) && t.is_nchar()) conversion_failed(v, t);
        std::string s = plain_text(v);
        if (std::holds_alternative<double>(v)) {
            char b[64];
            std::snprintf(b, sizeof b, "%.15g", std::get<double>(v));
            s = b;
        }
        // char types hold what their code page holds and count its bytes; nchar types count UTF-16 units
        if (t.is_char()) {
            s = std::holds_alternative<mssx_blob>(v) ? mssx_from_code_page(s, t.code_page)
                                                     : mssx_fit_code_page(s, t.code_page);
        }
        if (t.length > 0) {
            size_t n = t.is_char() ? mssx_code_page_length(s, t.code_page) : mssx_utf16_length(s);
            if (n > static_cast<size_t>(t.length)) {
                // trailing blanks are cut silently, anything else is an error
                while (n > static_cast<size_t>(t.length) && !s.empty() && s.back() == ' ') {
                    s.pop_back();
                    --n;
                }
                if (n > static_cast<size_t>(t.length))
                    throw mssx_error(8152, "String or binary data would be truncated.");
            }
            if ((t.name == "char" || t.name == "nchar") && n < static_cast<size_t>(t.length))
                s.append(static_cast<size_t>(t.length) - n, ' ');
        }
        return s;
    }
    if (t.is_binary()) {
        const mssx_blob* b = std::get_if<mssx_blob>(&v);
        if (!b) {
            const char* from = std::holds_alternative<std::string>(v) ? "varchar" : type_label_of(v);
            throw mssx_error(257, std::string("Implicit conversion from data type ") + from + " to " + t.name +
                                      " is not allowed. Use the CONVERT function to run this query.");
        }
        mssx_blob out = *b;
        if (t.length > 0 && out.bytes.size() > static_cast<size_t>(t.length))
            throw mssx_error(8152, "String or binary data would be truncated.");
        if (t.name == "binary" && out.bytes.size() < static_cast<size_t>(t.length))
            out.bytes.append(static_cast<size_t>(t.length) - out.bytes.size(), '\0');
        return out;
    }
    if (t.is_datetime()) {
        const std::string* s = std::get_if<std::string>(&v);
        if (!s) {
            throw mssx_error(
                206, std::string("Operand type clash: ") + type_label_of(v) + " is incompatible with " + t.name);
        }
        std::string out;
        if (!mssx_parse_datetime(*s, t, dateformat, out)) {
            if (t.name == "datetime" || t.name == "smalldatetime") {
                dt_parts p;
                if (parse_dt(*s, dateformat, p))
                    throw mssx_error(242, "The conversion of a varchar data type to a " + t.name +
                                              " data type resulted in an out-of-range value.");
            }
            throw mssx_error(241, "Conversion failed when converting date and/or time from character string.");
        }
        return out;
    }
    if (t.name == "uniqueidentifier") {
        const std::string* s = std::get_if<std::string>(&v);
        std::string x = s ? trim(*s) : std::string();
        if (x.size() == 38 && x.front() == '{' && x.back() == '}') x = x.substr(1, 36);
        bool ok = s && x.size() == 36;
        for (size_t i = 0; ok && i < 36; ++i) {
            if (i == 8 || i == 13 || i == 18 || i == 23)
                ok = x[i] == '-';
            else
                ok = std::isxdigit(static_cast<unsigned char>(x[i])) != 0;
        }
        if (!ok)
            throw mssx_error(8169, "Conversion failed when converting from a character string to uniqueidentifier.");
        for (auto& c : x) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return x;
    }
    // a value given without its type takes the one it implies
    if (t.name == "sql_variant") return mssx_variant_store(mssx_variant_implied_type(v), v, dateformat);
    return v; // the spatial types keep what they were given
}

mssx_text_rule mssx_text_rule_of(const mssx_type& t)
{
    if (t.is_exact_decimal()) return mssx_text_rule::exact_decimal;
    if (t.name == "sql_variant") return mssx_text_rule::variant;
    if (t.name == "real") return mssx_text_rule::real;
    if (t.name == "uniqueidentifier") return mssx_text_rule::guid;
    if (t.name == "datetime" || t.name == "smalldatetime" || t.name == "datetime2") return mssx_text_rule::datetime;
    return mssx_text_rule::plain;
}

std::string mssx_text(const mssx_type& t, const mssx_value& v) { return mssx_text(t, mssx_text_rule_of(t), v); }

std::string mssx_text(const mssx_type& t, mssx_text_rule rule, const mssx_value& v)
{
    if (mssx_is_null(v)) return {};
    if (rule == mssx_text_rule::variant) return mssx_variant_text(v);
    if (rule == mssx_text_rule::exact_decimal) {
        if (auto d = std::get_if<double>(&v)) {
            std::string s = f_text(*d, t.scale);
            if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
            return s;
        }
        if (auto i = std::get_if<int64_t>(&v)) {
            std::string s = std::to_string(*i);
            return t.scale ? s + "." + std::string(static_cast<size_t>(t.scale), '0') : s;
        }
        return plain_text(v);
    }
    if (auto d = std::get_if<double>(&v)) return g_text(*d, rule == mssx_text_rule::real ? 9 : 17);
    if (auto b = std::get_if<mssx_blob>(&v)) {
        static const char* hex = "0123456789ABCDEF";
        std::string s;
        s.reserve(b->bytes.size() * 2);
        for (unsigned char c : b->bytes) {
            s += hex[c >> 4];
            s += hex[c & 15];
        }
        return s;
    }
    if (rule == mssx_text_rule::guid) return "{" + plain_text(v) + "}";
    if (rule == mssx_text_rule::datetime) {
        std::string s = plain_text(v);
        // a zero fraction is left out
        size_t dot = s.find('.');
        if (dot != std::string::npos && s.find_first_not_of('0', dot + 1) == std::string::npos) s.erase(dot);
        return s;
    }
    return plain_text(v);
}
