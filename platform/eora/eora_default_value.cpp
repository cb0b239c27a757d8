// The value of a column's DEFAULT expression, evaluated for each row that
// leaves the column out: literals, the clock (SYSDATE, SYSTIMESTAMP, its UTC
// form, TRUNC and CAST of it) and new GUIDs (SYS_GUID with RAWTOHEX,
// REGEXP_REPLACE and || around it).
#include "platform/embedded/embedded_clock.h"
#include "platform/eora/eora_session_impl.h"

#include <chrono>
#include <random>
#include <regex>

namespace eora {

namespace {

// Bytes in a value SYS_GUID gives.
constexpr size_t k_guid_bytes = 16;
// Digits of a second SYSTIMESTAMP gives.
constexpr int k_systimestamp_digits = 6;
// "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS" of a date's text.
constexpr size_t k_day_chars = 10;
constexpr size_t k_second_chars = 19;

std::string utc_now_text()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto day = floor<days>(now);
    const year_month_day ymd{day};
    const hh_mm_ss hms{duration_cast<nanoseconds>(now - day)};
    embedded::clock_reading r;
    r.year = static_cast<int>(ymd.year());
    r.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    r.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    r.hour = static_cast<int>(hms.hours().count());
    r.minute = static_cast<int>(hms.minutes().count());
    r.second = static_cast<int>(hms.seconds().count());
    r.nanosecond = hms.subseconds().count();
    return embedded::clock_text(r, k_systimestamp_digits);
}

std::string new_guid()
{
    thread_local std::mt19937_64 gen{std::random_device{}()};
    std::string b(k_guid_bytes, '\0');
    for (size_t i = 0; i < b.size(); i += 8) {
        uint64_t r = gen();
        for (size_t k = 0; k < 8 && i + k < b.size(); ++k) b[i + k] = static_cast<char>((r >> (8 * k)) & 0xFF);
    }
    return b;
}

std::string hex_upper(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Oracle's \1 .. \9 in a replacement are ECMAScript's $1 .. $9; a $ of the text stays one.
std::string replacement_of(const std::string& oracle)
{
    std::string out;
    for (size_t i = 0; i < oracle.size(); ++i) {
        if (oracle[i] == '\\' && i + 1 < oracle.size() && oracle[i + 1] >= '1' && oracle[i + 1] <= '9') {
            out += '$';
            out += oracle[++i];
        } else if (oracle[i] == '$') {
            out += "$$";
        } else {
            out += oracle[i];
        }
    }
    return out;
}

value as_date(value v)
{
    if (v.kind == value::vk::datetime && v.s.size() > k_second_chars) v.s.resize(k_second_chars);
    return v;
}

value term(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds);

value concatenation(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds)
{
    value v = term(s, p, st, binds);
    while (p.accept_op("||")) {
        value next = term(s, p, st, binds);
        // Oracle's || takes NULL as empty text.
        std::string joined = (v.is_null() ? std::string() : v.s) + (next.is_null() ? std::string() : next.s);
        v = joined.empty() ? value::null() : value::text(std::move(joined));
    }
    return v;
}

value term(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds)
{
    const token& k = p.peek();
    if (k.is_op("(")) {
        p.next();
        value v = concatenation(s, p, st, binds);
        p.expect_op(")", 907);
        return v;
    }
    if (k.kind == tok::ident && (k.text == "SYSTIMESTAMP" || k.text == "CURRENT_TIMESTAMP") && !p.peek(1).is_op("(")) {
        p.next();
        return value::date(embedded::now_text(k_systimestamp_digits));
    }
    if (k.kind != tok::ident || !p.peek(1).is_op("(")) return eval_literal(s, p, st, binds);
    const std::string w = k.text;
    if (w != "TRUNC" && w != "SYS_EXTRACT_UTC" && w != "CAST" && w != "SYS_GUID" && w != "RAWTOHEX" &&
        w != "REGEXP_REPLACE")
        return eval_literal(s, p, st, binds);
    p.next();
    p.next();
    value r;
    if (w == "SYS_GUID") {
        r = value::bytes(new_guid());
    } else if (w == "SYS_EXTRACT_UTC") {
        // The UTC time of the clock; the session's own zone is UTC for any other value.
        const bool clock = p.peek().is_kw("SYSTIMESTAMP") && p.peek(1).is_op(")");
        r = concatenation(s, p, st, binds);
        if (clock) r = value::date(utc_now_text());
    } else if (w == "TRUNC") {
        r = concatenation(s, p, st, binds);
        if (p.accept_op(",")) {
            value fmt = concatenation(s, p, st, binds);
            if (fmt.s != "DD" && fmt.s != "DDD" && fmt.s != "J") raise(1898);
        }
        if (r.kind != value::vk::datetime) raise(932, "DATE", "NUMBER");
        r.s = r.s.substr(0, k_day_chars) + " 00:00:00";
    } else if (w == "CAST") {
        r = concatenation(s, p, st, binds);
        p.expect_kw("AS");
        const std::string type = p.next().text;
        if (type == "DATE")
            r = as_date(r);
        else if (type != "TIMESTAMP")
            raise(902);
        if (p.accept_op("(")) {
            p.next();
            p.expect_op(")", 907);
        }
    } else if (w == "RAWTOHEX") {
        r = concatenation(s, p, st, binds);
        if (r.kind == value::vk::bytes) r = r.s.empty() ? value::null() : value::text(hex_upper(r.s));
    } else {
        value text = concatenation(s, p, st, binds);
        p.expect_op(",", 909);
        value pattern = concatenation(s, p, st, binds);
        std::string with;
        if (p.accept_op(",")) with = concatenation(s, p, st, binds).s;
        if (text.is_null() || pattern.is_null()) {
            r = text;
        } else {
            try {
                r = value::text(std::regex_replace(text.s, std::regex(pattern.s), replacement_of(with)));
            } catch (const std::regex_error&) {
                raise(12725);
            }
        }
    }
    p.expect_op(")", 907);
    return r;
}

} // namespace

value eval_default_expr(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds)
{
    return concatenation(s, p, st, binds);
}

} // namespace eora
