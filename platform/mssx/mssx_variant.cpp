#include "platform/mssx/mssx_variant.h"

#include <charconv>
#include <cstring>

#include "platform/mssx/mssx_code_page.h"
#include "platform/mssx/mssx_error.h"

namespace {

// A stored sql_variant value is text: this mark, the base type as SQL Server
// writes it, the mark again, then the value. Plain values stored before never
// begin with it, so both read back.
constexpr char kTagMark = '\x1F';
constexpr const char* kDefaultCollation = "SQL_Latin1_General_CP1_CI_AS";

const char kHex[] = "0123456789ABCDEF";

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The fewest digits that read back as the same double (or float).
template <typename F>
std::string shortest(F x)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

mssx_type parse_type(const std::string& text)
{
    const size_t open = text.find('(');
    std::vector<std::string> args;
    if (open != std::string::npos) {
        size_t from = open + 1;
        for (size_t i = from; i < text.size(); ++i)
            if (text[i] == ',' || text[i] == ')') {
                args.push_back(text.substr(from, i - from));
                from = i + 1;
            }
    }
    return mssx_make_type(text.substr(0, open), args);
}

// The value's payload: integers and floats as text, bytes as hex, text as is.
std::string payload(const mssx_value& v)
{
    if (auto i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v)) return shortest(*d);
    if (auto b = std::get_if<mssx_blob>(&v)) {
        std::string s;
        s.reserve(b->bytes.size() * 2);
        for (unsigned char c : b->bytes) {
            s += kHex[c >> 4];
            s += kHex[c & 15];
        }
        return s;
    }
    return std::get<std::string>(v);
}

mssx_value from_payload(const mssx_type& base, const std::string& p)
{
    if (base.is_integer()) {
        int64_t n = 0;
        std::from_chars(p.data(), p.data() + p.size(), n);
        return n;
    }
    if (base.is_float()) {
        double d = 0;
        std::from_chars(p.data(), p.data() + p.size(), d);
        return d;
    }
    if (base.is_binary()) {
        mssx_blob b;
        b.bytes.reserve(p.size() / 2);
        for (size_t i = 0; i + 1 < p.size(); i += 2)
            b.bytes += static_cast<char>(hex_digit(p[i]) * 16 + hex_digit(p[i + 1]));
        return b;
    }
    return p;
}

int base_precision(const mssx_type& t)
{
    static const std::pair<const char*, int> fixed[] = {
        {"bigint", 19},     {"int", 10},      {"smallint", 5},       {"tinyint", 3},
        {"bit", 1},         {"float", 53},    {"real", 24},          {"money", 19},
        {"smallmoney", 10}, {"datetime", 23}, {"smalldatetime", 16}, {"date", 10}};
    for (const auto& [name, p] : fixed)
        if (t.name == name) return p;
    if (t.name == "decimal" || t.name == "numeric") return t.precision;
    const int frac = t.scale ? t.scale + 1 : 0; // the point and the digits
    if (t.name == "time") return 8 + frac;
    if (t.name == "datetime2") return 19 + frac;
    if (t.name == "datetimeoffset") return 26 + frac;
    return 0;
}

int base_scale(const mssx_type& t)
{
    if (t.name == "decimal" || t.name == "numeric") return t.scale;
    if (t.name == "money" || t.name == "smallmoney") return 4;
    if (t.name == "datetime") return 3;
    if (t.name == "time" || t.name == "datetime2" || t.name == "datetimeoffset") return t.scale;
    return 0;
}

int base_max_length(const mssx_type& t)
{
    if (t.name == "varchar" || t.name == "varbinary") return static_cast<int>(t.length);
    if (t.name == "nvarchar") return static_cast<int>(2 * t.length);
    return mssx_fixed_size(t);
}

std::string lower(std::string s)
{
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool mssx_variant_base_allowed(const mssx_type& t)
{
    if (t.length < 0) return false;
    static const char* refused[] = {"text",       "ntext",       "image",    "xml",       "timestamp",
                                    "rowversion", "sql_variant", "geometry", "geography", "hierarchyid"};
    for (const char* n : refused)
        if (t.name == n) return false;
    return true;
}

mssx_type mssx_variant_implied_type(const mssx_value& v)
{
    if (auto i = std::get_if<int64_t>(&v))
        return mssx_make_type(*i >= INT32_MIN && *i <= INT32_MAX ? "int" : "bigint", {});
    if (std::holds_alternative<double>(v)) return mssx_make_type("float", {});
    if (auto b = std::get_if<mssx_blob>(&v))
        return mssx_make_type("varbinary", {std::to_string(std::max<size_t>(b->bytes.size(), 1))});
    const std::string* s = std::get_if<std::string>(&v);
    const size_t units = s ? mssx_utf16_length(*s) : 1;
    return mssx_make_type("nvarchar", {std::to_string(std::max<size_t>(units, 1))});
}

mssx_value mssx_variant_store(const mssx_type& base, const mssx_value& v, const std::string& dateformat)
{
    if (mssx_is_null(v)) return v;
    if (mssx_variant_tagged(v)) return v;
    if (!mssx_variant_base_allowed(base))
        throw mssx_error(206, "Operand type clash: " + base.sql_text() + " is incompatible with sql_variant");
    mssx_value stored = mssx_convert(base, v, dateformat);
    // an exact number keeps its digits as text, whatever a column of its type would keep
    if (base.is_exact_decimal() && std::holds_alternative<double>(stored)) {
        std::string digits = mssx_text(base, stored);
        stored = digits;
    }
    return std::string(1, kTagMark) + base.sql_text() + kTagMark + payload(stored);
}

bool mssx_variant_tagged(const mssx_value& stored)
{
    const std::string* s = std::get_if<std::string>(&stored);
    return s && s->size() > 2 && (*s)[0] == kTagMark && s->find(kTagMark, 1) != std::string::npos;
}

std::optional<mssx_variant> mssx_variant_read(const mssx_value& stored)
{
    if (mssx_is_null(stored)) return std::nullopt;
    if (!mssx_variant_tagged(stored)) return mssx_variant{mssx_variant_implied_type(stored), stored};
    const std::string& s = std::get<std::string>(stored);
    const size_t second = s.find(kTagMark, 1);
    mssx_variant out;
    out.base = parse_type(s.substr(1, second - 1));
    out.value = from_payload(out.base, s.substr(second + 1));
    return out;
}

mssx_value mssx_variant_property(const mssx_value& stored, const std::string& property)
{
    auto v = mssx_variant_read(stored);
    if (!v) return std::monostate{};
    const std::string p = lower(property);
    if (p == "basetype") return v->base.name;
    if (p == "precision") return int64_t(base_precision(v->base));
    if (p == "scale") return int64_t(base_scale(v->base));
    if (p == "maxlength") return int64_t(base_max_length(v->base));
    if (p == "collation") return v->base.is_string() ? mssx_value(std::string(kDefaultCollation)) : std::monostate{};
    if (p == "totalbytes") {
        // SQL Server's own count: the base type's header and the value's bytes
        const mssx_type& t = v->base;
        int64_t data = mssx_fixed_size(t);
        if (auto b = std::get_if<mssx_blob>(&v->value)) data = static_cast<int64_t>(b->bytes.size());
        if (t.name == "varchar" || t.name == "char") {
            const auto& s = std::get<std::string>(v->value);
            data = static_cast<int64_t>(mssx_code_page_length(s, t.code_page));
        }
        if (t.name == "nvarchar" || t.name == "nchar")
            data = 2 * static_cast<int64_t>(mssx_utf16_length(std::get<std::string>(v->value)));
        int header = 2;
        if (t.is_string()) header = 9;
        if (t.is_binary() || t.name == "decimal" || t.name == "numeric") header = 4;
        if (t.name == "time" || t.name == "datetime2" || t.name == "datetimeoffset") header = 3;
        return header + data;
    }
    return std::monostate{};
}

std::string mssx_variant_text(const mssx_value& stored)
{
    auto v = mssx_variant_read(stored);
    if (!v) return {};
    if (auto d = std::get_if<double>(&v->value))
        return v->base.name == "real" ? shortest(static_cast<float>(*d)) : shortest(*d);
    return mssx_text(v->base, v->value);
}
