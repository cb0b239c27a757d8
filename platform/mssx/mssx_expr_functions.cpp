#include "platform/mssx/mssx_expr_functions.h"
#include <cstdio>
#include <cstring>
#include <vector>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_date_functions.h"
#include "platform/mssx/mssx_decimal.h"
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_sqlite.h"
#include "platform/mssx/mssx_variant.h"

namespace {

// Code points of NCHAR(), and the largest value REPLICATE makes (SQLite's own limit on a value).
constexpr int64_t kMssxLastCodePoint = 0x10FFFF;
constexpr int64_t kMssxFirstSurrogate = 0xD800;
constexpr int64_t kMssxLastSurrogate = 0xDFFF;
constexpr double kMssxLargestValue = 1000000000.0;

std::u32string code_points(const std::string& s)
{
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < n && i + static_cast<size_t>(k) < s.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
        out += cp;
        i += static_cast<size_t>(n);
    }
    return out;
}

// Case folding of the default collation for ASCII and Latin-1 letters.
char32_t fold(char32_t c)
{
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    return c;
}

struct like_element {
    enum kind_t { any_run, any_one, literal, set } kind;
    char32_t ch = 0;
    std::vector<std::pair<char32_t, char32_t>> ranges;
    bool negated = false;

    bool matches(char32_t c) const
    {
        if (kind == any_one) return true;
        if (kind == literal) return fold(c) == fold(ch);
        bool hit = false;
        for (auto& [lo, hi] : ranges) hit = hit || (fold(c) >= fold(lo) && fold(c) <= fold(hi));
        return hit != negated;
    }
};

std::vector<like_element> compile(const std::u32string& p, std::optional<char32_t> escape)
{
    std::vector<like_element> out;
    for (size_t j = 0; j < p.size(); ++j) {
        char32_t c = p[j];
        if (escape && c == *escape && j + 1 < p.size()) {
            out.push_back({like_element::literal, p[++j], {}, false});
            continue;
        }
        if (c == '%') {
            if (out.empty() || out.back().kind != like_element::any_run)
                out.push_back({like_element::any_run, 0, {}, false});
            continue;
        }
        if (c == '_') {
            out.push_back({like_element::any_one, 0, {}, false});
            continue;
        }
        if (c == '[') {
            size_t close = p.find(U']', j + 2 <= p.size() ? j + 1 : p.size());
            if (close != std::u32string::npos) {
                like_element e{like_element::set, 0, {}, false};
                size_t k = j + 1;
                if (k < close && p[k] == '^') {
                    e.negated = true;
                    ++k;
                }
                for (; k < close; ++k) {
                    if (k + 2 < close && p[k + 1] == '-') {
                        e.ranges.push_back({p[k], p[k + 2]});
                        k += 2;
                    } else
                        e.ranges.push_back({p[k], p[k]});
                }
                out.push_back(std::move(e));
                j = close;
                continue;
            }
        }
        out.push_back({like_element::literal, c, {}, false});
    }
    return out;
}

// The next code point of UTF-8 text at i (a broken sequence reads byte by byte).
char32_t next_code_point(const unsigned char* s, size_t n, size_t& i)
{
    unsigned char c = s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + len > n) len = 1;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    i += len;
    return cp;
}

// Text compares as SQL Server's ANSI padding has it: trailing blanks do not count.
size_t unpadded_size(const unsigned char* s, size_t n)
{
    while (n > 0 && s[n - 1] == ' ') --n;
    return n;
}

int collate_padded_ci(void*, int na, const void* pa, int nb, const void* pb)
{
    return mssx_padded_compare(std::string_view(static_cast<const char*>(pa), static_cast<size_t>(na)),
                               std::string_view(static_cast<const char*>(pb), static_cast<size_t>(nb)), true);
}

int collate_padded_cs(void*, int na, const void* pa, int nb, const void* pb)
{
    return mssx_padded_compare(std::string_view(static_cast<const char*>(pa), static_cast<size_t>(na)),
                               std::string_view(static_cast<const char*>(pb), static_cast<size_t>(nb)), false);
}

// SQLite hands errors of a function on as text: the server's number travels in front.
void fail(sqlite3_context* ctx, const mssx_error& e)
{
    std::string m = "mssx#" + std::to_string(e.number) + "#" + e.what();
    sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
}

mssx_value arg_value(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return static_cast<int64_t>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                           static_cast<size_t>(sqlite3_value_bytes(v)));
    case SQLITE_BLOB: {
        const char* p = static_cast<const char*>(sqlite3_value_blob(v));
        return mssx_blob{std::string(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)))};
    }
    default:
        return std::monostate{};
    }
}

void set_result(sqlite3_context* ctx, const mssx_value& v)
{
    if (auto i = std::get_if<int64_t>(&v))
        sqlite3_result_int64(ctx, *i);
    else if (auto d = std::get_if<double>(&v))
        sqlite3_result_double(ctx, *d);
    else if (auto s = std::get_if<std::string>(&v))
        sqlite3_result_text(ctx, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else if (auto b = std::get_if<mssx_blob>(&v))
        sqlite3_result_blob(ctx, b->bytes.data(), static_cast<int>(b->bytes.size()), SQLITE_TRANSIENT);
    else
        sqlite3_result_null(ctx);
}

std::string arg_text(sqlite3_value* v)
{
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v)))
             : std::string();
}

// The text of any value as the server shows it.
std::string arg_value_text(sqlite3_value* v) { return mssx_text(mssx_make_type("nvarchar", {"max"}), arg_value(v)); }

void fn_like(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // SQLite calls like(pattern, value[, escape]) for "value LIKE pattern"
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::optional<char32_t> escape;
    if (argc == 3) {
        std::u32string e = code_points(arg_text(argv[2]));
        if (e.size() != 1) {
            fail(ctx, mssx_error(506, "The invalid escape character \"" + arg_text(argv[2]) +
                                          "\" was specified in a LIKE predicate."));
            return;
        }
        escape = e[0];
    }
    sqlite3_result_int(ctx, mssx_like(arg_text(argv[1]), arg_text(argv[0]), escape) ? 1 : 0);
}

mssx_type type_arg(sqlite3_value* v) { return mssx_col("", arg_text(v)).type; }

void fn_cast(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    try {
        int style = argc >= 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL ? sqlite3_value_int(argv[2]) : -1;
        std::optional<mssx_type> from;
        if (argc >= 4 && sqlite3_value_type(argv[3]) == SQLITE_TEXT && sqlite3_value_bytes(argv[3]) > 0)
            from = type_arg(argv[3]);
        std::string dateformat = argc >= 5 ? arg_text(argv[4]) : std::string("mdy");
        set_result(ctx, mssx_cast_value(arg_value(argv[0]), type_arg(argv[1]), style, from, dateformat));
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

// SQL_VARIANT_PROPERTY(value, property)
void fn_variant_property(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    set_result(ctx, mssx_variant_property(arg_value(argv[0]), arg_text(argv[1])));
}

// mssx_assign(value, type, dateformat, message, code page): the value as a
// column of the type stores it (rounded, padded, or refused as the server
// refuses it); message is the 515 text when the column allows no NULL.
void fn_assign(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        mssx_value v = arg_value(argv[0]);
        if (mssx_is_null(v)) {
            if (sqlite3_value_type(argv[3]) != SQLITE_NULL) throw mssx_error(515, arg_text(argv[3]));
            sqlite3_result_null(ctx);
            return;
        }
        mssx_type t = type_arg(argv[1]);
        t.code_page = sqlite3_value_int(argv[4]);
        set_result(ctx, mssx_convert(t, v, arg_text(argv[2])));
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

// mssx_nchar(n): the character of a code point (two UTF-16 units beyond the BMP); NULL for none.
void fn_nchar(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    int64_t n = sqlite3_value_int64(argv[0]);
    if (n < 0 || n > kMssxLastCodePoint || (n >= kMssxFirstSurrogate && n <= kMssxLastSurrogate))
        return sqlite3_result_null(ctx);
    std::string s = mssx_utf8_of_code_point(static_cast<char32_t>(n));
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// mssx_char(n): the character of a byte in the default code page; NULL beyond a byte.
void fn_char(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    int64_t n = sqlite3_value_int64(argv[0]);
    if (n < 0 || n > 0xFF) return sqlite3_result_null(ctx);
    std::string s = mssx_from_code_page(std::string(1, static_cast<char>(n)), kMssxDefaultCodePage);
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// mssx_replicate(text, n): the text n times; NULL for a negative count.
void fn_replicate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_null(ctx);
    std::string one = arg_value_text(argv[0]), out;
    if (static_cast<double>(one.size()) * static_cast<double>(n) > kMssxLargestValue) {
        fail(ctx, mssx_error(1101, "The value is too long for the server to hold."));
        return;
    }
    out.reserve(one.size() * static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) out += one;
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// hierarchyid values as their text "/1/2/": the levels are the slashes after the first.
size_t hid_level(const std::string& path)
{
    size_t n = 0;
    for (char c : path) n += c == '/';
    return n > 0 ? n - 1 : 0;
}

bool hid_text(sqlite3_context* ctx, sqlite3_value* v, std::string& out)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT) {
        sqlite3_result_null(ctx);
        return false;
    }
    out = arg_text(v);
    if (out.empty() || out.front() != '/' || out.back() != '/') {
        fail(ctx, mssx_error(6522,
                             "A .NET Framework error occurred during execution of user-defined routine or "
                             "aggregate \"hierarchyid\": HierarchyIdException: 24001: SqlHierarchyId.Parse "
                             "failed because the input string '" +
                                 out + "' is not a valid string representation of a SqlHierarchyId node."));
        return false;
    }
    return true;
}

void fn_hid_getlevel(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::string p;
    if (hid_text(ctx, argv[0], p)) sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(hid_level(p)));
}

void fn_hid_tostring(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::string p;
    if (hid_text(ctx, argv[0], p)) sqlite3_result_text(ctx, p.data(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
}

void fn_hid_getancestor(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::string p;
    if (!hid_text(ctx, argv[0], p)) return;
    int64_t n = sqlite3_value_int64(argv[1]);
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || n < 0 || static_cast<size_t>(n) > hid_level(p))
        return sqlite3_result_null(ctx);
    for (int64_t i = 0; i < n; ++i) p.erase(p.find_last_of('/', p.size() - 2) + 1);
    sqlite3_result_text(ctx, p.data(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
}

void fn_hid_isdescendantof(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::string p, parent;
    if (!hid_text(ctx, argv[0], p) || !hid_text(ctx, argv[1], parent)) return;
    sqlite3_result_int(ctx, p.starts_with(parent) ? 1 : 0);
}

// mssx_len(value): characters without the trailing blanks, in UTF-16 units.
void fn_len(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    mssx_value v = arg_value(argv[0]);
    if (mssx_is_null(v)) return sqlite3_result_null(ctx);
    std::string s = std::holds_alternative<std::string>(v) ? std::get<std::string>(v)
                                                           : mssx_text(mssx_make_type("nvarchar", {"max"}), v);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(mssx_utf16_length(s)));
}

// mssx_datalength(value, type, code page): the bytes SQL Server keeps for the value,
// text counted in the code page (char types) or in UTF-16 (nchar types).
void fn_datalength(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        mssx_value v = arg_value(argv[0]);
        if (mssx_is_null(v)) return sqlite3_result_null(ctx);
        std::string type = arg_text(argv[1]);
        std::optional<mssx_type> t;
        if (!type.empty()) {
            t = type_arg(argv[1]);
            t->code_page = sqlite3_value_int(argv[2]);
        }
        size_t n = 0;
        if (auto b = std::get_if<mssx_blob>(&v))
            n = b->bytes.size();
        else if (t && t->is_char())
            n = mssx_code_page_length(mssx_text(*t, v), t->code_page);
        else if (t && !t->is_string() && mssx_fixed_size(*t) > 0)
            n = static_cast<size_t>(mssx_fixed_size(*t));
        else if (std::holds_alternative<std::string>(v))
            n = 2 * mssx_utf16_length(std::get<std::string>(v));
        else
            n = mssx_text(mssx_make_type("varchar", {"max"}), v).size();
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(n));
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

// A value read as an exact number at the scale of its type.
bool exact_arg(sqlite3_context* ctx, sqlite3_value* v, int scale, mssx_decimal& d)
{
    if (mssx_decimal_from(arg_value(v), scale, d)) return true;
    if (sqlite3_value_type(v) == SQLITE_TEXT)
        fail(ctx, mssx_error(8114, "Error converting data type varchar to numeric."));
    else
        fail(ctx, mssx_error(8115, "Arithmetic overflow error converting expression to data type numeric."));
    return false;
}

// mssx_exact(op, a, scale of a, b, scale of b, precision, scale, type name):
// a op b exactly, in the result type SQL Server gives it.
void fn_exact(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[3]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string op = arg_text(argv[0]), type = arg_text(argv[7]);
    bool money = type == "money" || type == "smallmoney";
    mssx_decimal a, b, r;
    if (op.size() != 1 || !exact_arg(ctx, argv[1], sqlite3_value_int(argv[2]), a) ||
        !exact_arg(ctx, argv[3], sqlite3_value_int(argv[4]), b))
        return;
    if ((op[0] == '/' || op[0] == '%') && b.units == 0) {
        fail(ctx, mssx_error(8134, "Divide by zero error encountered."));
        return;
    }
    if (!mssx_decimal_arithmetic(op[0], a, b, sqlite3_value_int(argv[5]), sqlite3_value_int(argv[6]), money, r)) {
        fail(ctx, mssx_error(8115, std::string("Arithmetic overflow error converting expression to data type ") +
                                       (money ? type : std::string("numeric")) + "."));
        return;
    }
    set_result(ctx, mssx_decimal_value(r));
}

// mssx_exact_cmp(a, scale of a, b, scale of b): -1, 0 or 1.
void fn_exact_cmp(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    mssx_decimal a, b;
    if (!exact_arg(ctx, argv[0], sqlite3_value_int(argv[1]), a) ||
        !exact_arg(ctx, argv[2], sqlite3_value_int(argv[3]), b))
        return;
    sqlite3_result_int(ctx, mssx_decimal_compare(a, b));
}

// SQLite's aggregate memory is aligned for 8 bytes only: the 128-bit sum is copied in and out.
struct exact_accumulator {
    unsigned char units[sizeof(__int128)];
    int64_t count;
    bool overflow;

    __int128 sum() const
    {
        __int128 v;
        std::memcpy(&v, units, sizeof v);
        return v;
    }
    void set(__int128 v) { std::memcpy(units, &v, sizeof v); }
};

int scale_of(sqlite3_context* ctx) { return static_cast<int>(reinterpret_cast<intptr_t>(sqlite3_user_data(ctx))); }

void exact_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* acc = static_cast<exact_accumulator*>(sqlite3_aggregate_context(ctx, sizeof(exact_accumulator)));
    if (!acc) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || acc->overflow) return;
    mssx_decimal d;
    if (!mssx_decimal_from(arg_value(argv[0]), scale_of(ctx), d)) {
        acc->overflow = true;
        return;
    }
    __int128 sum = acc->sum() + d.units;
    acc->set(sum);
    ++acc->count;
    if (!mssx_decimal_fits(sum)) acc->overflow = true;
}

bool exact_final_check(sqlite3_context* ctx, exact_accumulator* acc)
{
    if (!acc || acc->count == 0) {
        if (acc && acc->overflow)
            fail(ctx, mssx_error(8115, "Arithmetic overflow error converting expression to data type numeric."));
        else
            sqlite3_result_null(ctx);
        return false;
    }
    if (acc->overflow) {
        fail(ctx, mssx_error(8115, "Arithmetic overflow error converting expression to data type numeric."));
        return false;
    }
    return true;
}

void sum_final(sqlite3_context* ctx)
{
    auto* acc = static_cast<exact_accumulator*>(sqlite3_aggregate_context(ctx, 0));
    if (!exact_final_check(ctx, acc)) return;
    set_result(ctx, mssx_decimal_value({acc->sum(), scale_of(ctx)}));
}

void avg_final(sqlite3_context* ctx)
{
    auto* acc = static_cast<exact_accumulator*>(sqlite3_aggregate_context(ctx, 0));
    if (!exact_final_check(ctx, acc)) return;
    // decimal division keeps the digits of the result's scale and drops the rest
    set_result(ctx, mssx_decimal_value({acc->sum() / acc->count, scale_of(ctx)}));
}

// The least or greatest exact value; SQLite's own min/max would order a
// value kept as text (beyond 15 digits) after every number.
struct extreme_accumulator {
    unsigned char units[sizeof(__int128)];
    bool seen;
    bool overflow;
};

// user data of the min/max aggregates: scale * 2, plus 1 for max
int extreme_scale(sqlite3_context* ctx) { return scale_of(ctx) / 2; }
bool extreme_is_max(sqlite3_context* ctx) { return scale_of(ctx) % 2 == 1; }

void extreme_step(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* acc = static_cast<extreme_accumulator*>(sqlite3_aggregate_context(ctx, sizeof(extreme_accumulator)));
    if (!acc) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || acc->overflow) return;
    mssx_decimal d;
    if (!mssx_decimal_from(arg_value(argv[0]), extreme_scale(ctx), d)) {
        acc->overflow = true;
        return;
    }
    __int128 best;
    std::memcpy(&best, acc->units, sizeof best);
    if (!acc->seen || (extreme_is_max(ctx) ? d.units > best : d.units < best))
        std::memcpy(acc->units, &d.units, sizeof d.units);
    acc->seen = true;
}

void extreme_final(sqlite3_context* ctx)
{
    auto* acc = static_cast<extreme_accumulator*>(sqlite3_aggregate_context(ctx, 0));
    if (acc && acc->overflow) {
        fail(ctx, mssx_error(8115, "Arithmetic overflow error converting expression to data type numeric."));
        return;
    }
    if (!acc || !acc->seen) {
        sqlite3_result_null(ctx);
        return;
    }
    __int128 best;
    std::memcpy(&best, acc->units, sizeof best);
    set_result(ctx, mssx_decimal_value({best, extreme_scale(ctx)}));
}

} // namespace

std::string mssx_exact_extreme_name(bool max, int scale)
{
    return (max ? "mssx_max" : "mssx_min") + std::to_string(scale);
}

std::string mssx_exact_sum_name(int scale) { return "mssx_sum" + std::to_string(scale); }
std::string mssx_exact_avg_name(int scale) { return "mssx_avg" + std::to_string(scale); }

int mssx_padded_compare(std::string_view a, std::string_view b, bool ignore_case)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    size_t na = unpadded_size(pa, a.size()), nb = unpadded_size(pb, b.size());
    size_t i = 0, j = 0;
    while (i < na && j < nb) {
        char32_t x = next_code_point(pa, na, i), y = next_code_point(pb, nb, j);
        if (ignore_case) {
            x = fold(x);
            y = fold(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < na) return 1;
    if (j < nb) return -1;
    return 0;
}

std::string mssx_collate_clause(const mssx_type& t, const std::string& collation)
{
    if (!t.is_string()) return {};
    bool sensitive = collation.find("_CS") != std::string::npos || collation.find("_BIN") != std::string::npos;
    return std::string(" COLLATE ") + (sensitive ? kMssxPaddedCs : kMssxPaddedCi);
}

// SQLite's optimisation flag of the Bloom filters its joins build: they
// hash text by its bytes, so a value that a padded collation finds equal
// ("k1" and "k1  ") is filtered out before the comparison is made.
constexpr int kSqliteBloomFilterOptimization = 0x00080000;

void mssx_register_expression_functions(sqlite3* db)
{
    sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kSqliteBloomFilterOptimization);
    sqlite3_create_collation(db, kMssxPaddedCi, SQLITE_UTF8, nullptr, collate_padded_ci);
    sqlite3_create_collation(db, kMssxPaddedCs, SQLITE_UTF8, nullptr, collate_padded_cs);
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, fn_like, nullptr, nullptr);
    sqlite3_create_function(db, "like", 3, flags, nullptr, fn_like, nullptr, nullptr);
    for (int n = 2; n <= 5; ++n) sqlite3_create_function(db, "mssx_cast", n, flags, nullptr, fn_cast, nullptr, nullptr);
    mssx_register_date_functions(db);
    sqlite3_create_function(db, "sql_variant_property", 2, flags, nullptr, fn_variant_property, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_assign", 5, flags, nullptr, fn_assign, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_nchar", 1, flags, nullptr, fn_nchar, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_char", 1, flags, nullptr, fn_char, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_replicate", 2, flags, nullptr, fn_replicate, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_hid_GETLEVEL", 1, flags, nullptr, fn_hid_getlevel, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_hid_TOSTRING", 1, flags, nullptr, fn_hid_tostring, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_hid_GETANCESTOR", 2, flags, nullptr, fn_hid_getancestor, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_hid_ISDESCENDANTOF", 2, flags, nullptr, fn_hid_isdescendantof, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_len", 1, flags, nullptr, fn_len, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_datalength", 3, flags, nullptr, fn_datalength, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_exact", 8, flags, nullptr, fn_exact, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_exact_cmp", 4, flags, nullptr, fn_exact_cmp, nullptr, nullptr);
    for (int s = 0; s <= kMssxMaxPrecision; ++s) {
        void* scale = reinterpret_cast<void*>(static_cast<intptr_t>(s));
        sqlite3_create_function(db, mssx_exact_sum_name(s).c_str(), 1, flags, scale, nullptr, exact_step, sum_final);
        sqlite3_create_function(db, mssx_exact_avg_name(s).c_str(), 1, flags, scale, nullptr, exact_step, avg_final);
        for (bool max : {false, true}) {
            void* shape = reinterpret_cast<void*>(static_cast<intptr_t>(s * 2 + (max ? 1 : 0)));
            sqlite3_create_function(db, mssx_exact_extreme_name(max, s).c_str(), 1, flags, shape, nullptr, extreme_step,
                                    extreme_final);
        }
    }
}

bool mssx_like(const std::string& value, const std::string& pattern, std::optional<char32_t> escape)
{
    std::u32string v = code_points(value);
    std::vector<like_element> p = compile(code_points(pattern), escape);
    // greedy matching with one backtrack point per run of %
    size_t i = 0, j = 0;
    size_t star = std::string::npos, resume = 0;
    while (i < v.size()) {
        if (j < p.size() && p[j].kind == like_element::any_run) {
            star = j++;
            resume = i;
        } else if (j < p.size() && p[j].matches(v[i])) {
            ++i;
            ++j;
        } else if (star != std::string::npos) {
            j = star + 1;
            i = ++resume;
        } else
            return false;
    }
    while (j < p.size() && p[j].kind == like_element::any_run) ++j;
    return j == p.size();
}

std::optional<std::string> mssx_format_datetime(const std::string& stored, int style)
{
    // stored forms: "yyyy-mm-dd", "yyyy-mm-dd hh:mi:ss[.f...]" (and an offset), "hh:mi:ss[.f...]"
    bool has_date = stored.size() >= 10 && stored[4] == '-' && stored[7] == '-';
    std::string date = has_date ? stored.substr(0, 10) : std::string();
    std::string time = has_date ? (stored.size() > 11 ? stored.substr(11) : std::string()) : stored;
    size_t blank = time.find(' ');
    if (blank != std::string::npos) time.erase(blank); // the offset of datetimeoffset
    std::string hms = time.substr(0, 8), frac = time.size() > 9 ? time.substr(9) : std::string();
    std::string y = date.substr(0, std::min<size_t>(4, date.size())), m = has_date ? date.substr(5, 2) : "",
                d = has_date ? date.substr(8, 2) : "";
    switch (style) {
    case 0:
    case 100: {
        static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        std::string out;
        if (has_date) {
            int mi = std::atoi(m.c_str());
            if (mi < 1 || mi > 12) return std::nullopt;
            int di = std::atoi(d.c_str());
            out = std::string(months[mi - 1]) + " " + (di < 10 ? " " : "") + std::to_string(di) + " " + y;
        }
        if (!time.empty()) {
            int h = std::atoi(hms.c_str());
            int h12 = h % 12 == 0 ? 12 : h % 12;
            out += std::string(out.empty() ? "" : " ") + (h12 < 10 ? " " : "") + std::to_string(h12) + ":" +
                   hms.substr(3, 2) + (h < 12 ? "AM" : "PM");
        }
        return out;
    }
    case 101:
        if (!has_date) return std::nullopt;
        return m + "/" + d + "/" + y;
    case 103:
        if (!has_date) return std::nullopt;
        return d + "/" + m + "/" + y;
    case 112:
        if (!has_date) return std::nullopt;
        return y + m + d;
    case 120:
        return has_date ? date + (time.empty() ? "" : " " + hms) : hms;
    case 121:
        return has_date ? date + (time.empty() ? "" : " " + time.substr(0, time.find(' '))) : time;
    case 126: {
        if (!has_date) return time;
        if (time.empty()) return date;
        bool zero = frac.find_first_not_of('0') == std::string::npos;
        return date + "T" + hms + (frac.empty() || zero ? "" : "." + frac);
    }
    default:
        return std::nullopt;
    }
}

mssx_value mssx_cast_value(const mssx_value& v, const mssx_type& to, int style, const std::optional<mssx_type>& from,
                           const std::string& dateformat)
{
    if (mssx_is_null(v)) return v;
    if (mssx_variant_tagged(v)) {
        // a sql_variant converts from its base type
        auto held = mssx_variant_read(v);
        if (to.name == "sql_variant") return v;
        return mssx_cast_value(held->value, to, style, held->base, dateformat);
    }
    if (to.name == "sql_variant")
        return mssx_variant_store(from && from->name != "sql_variant" ? *from : mssx_variant_implied_type(v), v,
                                  dateformat);
    if (to.is_string()) {
        std::string s;
        if (auto b = std::get_if<mssx_blob>(&v))
            // bytes read as nvarchar are UTF-16LE, as varchar the page's
            s = to.is_nchar() ? mssx_utf8_of_utf16le(b->bytes) : mssx_from_code_page(b->bytes, to.code_page);
        else if (from && from->is_datetime() && std::holds_alternative<std::string>(v) && style >= 0) {
            auto f = mssx_format_datetime(std::get<std::string>(v), style);
            s = f ? *f : std::get<std::string>(v);
        } else if (from && (from->is_exact_decimal() || from->is_datetime()))
            s = mssx_text(*from, v);
        else if (auto d = std::get_if<double>(&v)) {
            char b[64];
            std::snprintf(b, sizeof b, "%.15g", *d);
            s = b;
        } else
            s = mssx_text(mssx_make_type("nvarchar", {"max"}), v);
        if (to.is_char()) s = mssx_fit_code_page(s, to.code_page);
        if (to.length >= 0) {
            // CAST cuts what does not fit, character by character: UTF-16 units
            // of nchar types, the page's bytes of char types
            size_t units = 0, k = 0;
            while (k < s.size()) {
                size_t len = 1;
                while (k + len < s.size() && (static_cast<unsigned char>(s[k + len]) & 0xC0) == 0x80) ++len;
                std::string one = s.substr(k, len);
                size_t w = to.is_char() ? mssx_code_page_length(one, to.code_page) : mssx_utf16_length(one);
                if (units + w > static_cast<size_t>(to.length)) break;
                units += w;
                k += len;
            }
            s.erase(k);
            if ((to.name == "char" || to.name == "nchar") && units < static_cast<size_t>(to.length))
                s.append(static_cast<size_t>(to.length) - units, ' ');
        }
        return s;
    }
    if (to.is_exact_decimal()) {
        if (std::holds_alternative<mssx_blob>(v))
            throw mssx_error(8114, "Error converting data type varbinary to numeric.");
        mssx_value src = v;
        if (auto d = std::get_if<double>(&v)) {
            char b[64];
            std::snprintf(b, sizeof b, "%.15g", *d);
            src = std::string(b);
        }
        return mssx_convert(to, src, dateformat);
    }
    if (to.is_integer()) {
        if (auto s = std::get_if<std::string>(&v);
            s && s->find_first_of(".eE") != std::string::npos && !(from && from->is_exact_decimal()))
            throw mssx_error(
                245, "Conversion failed when converting the varchar value '" + *s + "' to data type " + to.name + ".");
        if (auto s = std::get_if<std::string>(&v); s && from && from->is_exact_decimal()) {
            // an exact number loses its fraction
            mssx_decimal d;
            if (!mssx_decimal_from(*s, 0, d))
                throw mssx_error(8115, "Arithmetic overflow error converting numeric to data type " + to.name + ".");
            std::string whole = s->substr(0, s->find('.'));
            return mssx_convert(to, whole.empty() || whole == "-" ? std::string("0") : whole, dateformat);
        }
        return mssx_convert(to, v, dateformat);
    }
    if (to.is_binary()) {
        std::string bytes;
        if (auto b = std::get_if<mssx_blob>(&v))
            bytes = b->bytes;
        else if (std::holds_alternative<std::string>(v) && from && from->is_nchar())
            bytes = mssx_utf16le_of(std::get<std::string>(v));
        else if (std::holds_alternative<std::string>(v))
            bytes = mssx_to_code_page(std::get<std::string>(v), from ? from->code_page : kMssxDefaultCodePage);
        else
            bytes = mssx_text(mssx_make_type("varchar", {"max"}), v);
        if (to.length > 0 && bytes.size() > static_cast<size_t>(to.length))
            bytes.resize(static_cast<size_t>(to.length));
        if (to.name == "binary" && bytes.size() < static_cast<size_t>(to.length))
            bytes.append(static_cast<size_t>(to.length) - bytes.size(), '\0');
        return mssx_blob{bytes};
    }
    if (to.is_datetime() && std::holds_alternative<std::string>(v)) {
        std::string order = dateformat;
        if (style == 101 || style == 1)
            order = "mdy";
        else if (style == 103 || style == 3)
            order = "dmy";
        return mssx_convert(to, v, order);
    }
    return mssx_convert(to, v, dateformat);
}
