#include "ORA/ora_util.h"
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <string_view>
#include "OLE/ole_bool_map.h"
#include "OLE/ole_date.h"
#include "OLE/ole_variant.h"
#include "ORA/ora_engine.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

// The date part SQL Server gives a time of day.
constexpr const wchar_t* time_only_date = L"1900-01-01";

bool is_bin(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY; }

// Zero-padded decimal of at least `width` digits.
std::wstring pad(int value, size_t width)
{
    std::wstring s = std::to_wstring(value);
    if (s.size() < width) s.insert(0, width - s.size(), L'0');
    return s;
}

bool int64_flag() { return tk_singleton<ora_engine>::exists() && ora_eng().b_int64; }

bool only_zero_chars(const std::wstring& s)
{
    for (wchar_t c : s)
        if (std::wstring(L"eE-+.,0").find(c) == std::wstring::npos) return false;
    return true;
}

std::wstring trim_parens(std::wstring s)
{
    for (;;) {
        while (!s.empty() && std::iswspace(static_cast<wint_t>(s.front()))) s.erase(0, 1);
        while (!s.empty() && std::iswspace(static_cast<wint_t>(s.back()))) s.pop_back();
        if (s.size() >= 2 && s.front() == L'(' && s.back() == L')')
            s = s.substr(1, s.size() - 2);
        else
            return s;
    }
}

std::wstring lower(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

// ---- literals taken straight from a value ----------------------------------
// The text the general path gives (the value's text form, read back and then
// written as a literal), made without printing and parsing it.

template <class T>
std::wstring digits_of(T v)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::wstring(buf, res.ptr);
}

void append_digits(std::wstring& out, unsigned v, int width)
{
    wchar_t buf[8];
    for (int k = width - 1; k >= 0; --k, v /= 10) buf[k] = static_cast<wchar_t>(L'0' + v % 10);
    out.append(buf, static_cast<size_t>(width));
}

// A scaled integer as the automation library prints it: "-12.5", "0.05", "7";
// a sign only before a value other than zero.
std::wstring scaled_digits(unsigned __int128 m, int scale, bool neg)
{
    wchar_t buf[48]; // 39 digits, a point and a sign; a scale never exceeds the digits
    size_t at = sizeof buf / sizeof buf[0];
    const bool nonzero = m != 0;
    for (int n = 1;; ++n) {
        buf[--at] = static_cast<wchar_t>(L'0' + static_cast<int>(m % 10));
        m /= 10;
        if (n == scale) buf[--at] = L'.';
        if (m == 0 && n > scale) break;
    }
    if (neg && nonzero) buf[--at] = L'-';
    return std::wstring(buf + at, buf + sizeof buf / sizeof buf[0]);
}

// Currency keeps up to four places, trailing zeros dropped ("12.5", "5").
std::wstring currency_digits(const CY& cy)
{
    const bool neg = cy.int64 < 0;
    unsigned __int128 m = neg ? static_cast<unsigned __int128>(-static_cast<__int128>(cy.int64))
                              : static_cast<unsigned __int128>(cy.int64);
    int scale = 4;
    while (scale > 0 && m % 10 == 0) {
        m /= 10;
        --scale;
    }
    return scaled_digits(m, scale, neg);
}

constexpr uint32_t k_ns_per_ms = 1000000;
constexpr int k_ns_digits = 9;

// A timestamp whose fraction goes below the millisecond: every digit, read
// by a picture of nine places. A time of day takes SQL Server's date of a time.
std::wstring fine_timestamp_literal(const SYSTEMTIME& p, uint32_t sub_ms_ns)
{
    const bool time_only = p.wYear == 0 && p.wMonth == 0 && p.wDay == 0;
    std::wstring out;
    out.reserve(72);
    out.assign(L"to_timestamp('");
    if (time_only) {
        out.append(time_only_date);
    } else {
        append_digits(out, p.wYear, 4);
        out.push_back(L'-');
        append_digits(out, p.wMonth, 2);
        out.push_back(L'-');
        append_digits(out, p.wDay, 2);
    }
    out.push_back(L' ');
    append_digits(out, p.wHour, 2);
    out.push_back(L':');
    append_digits(out, p.wMinute, 2);
    out.push_back(L':');
    append_digits(out, p.wSecond, 2);
    out.push_back(L'.');
    append_digits(out, p.wMilliseconds, 3);
    append_digits(out, sub_ms_ns % k_ns_per_ms, k_ns_digits - 3);
    out.append(L"', 'YYYY-MM-DD HH24:MI:SS.FF9')");
    return out;
}

// A date whose parts are all within their ranges; other dates take the general path.
bool date_literal(const SYSTEMTIME& p, uint32_t sub_ms_ns, std::wstring& out)
{
    if (p.wYear < 1 || p.wYear > 9999 || p.wMonth < 1 || p.wMonth > 12 || p.wDay < 1 || p.wDay > 31 || p.wHour > 23 ||
        p.wMinute > 59 || p.wSecond > 59 || p.wMilliseconds > 999)
        return false;
    if (sub_ms_ns % k_ns_per_ms != 0) {
        out = fine_timestamp_literal(p, sub_ms_ns);
        return true;
    }
    const bool ms = p.wMilliseconds != 0;
    const bool time = ms || p.wHour != 0 || p.wMinute != 0 || p.wSecond != 0;
    out.reserve(64);
    out.assign(ms ? L"to_timestamp('" : L"to_date('");
    append_digits(out, p.wYear, 4);
    out.push_back(L'-');
    append_digits(out, p.wMonth, 2);
    out.push_back(L'-');
    append_digits(out, p.wDay, 2);
    if (!time) {
        out.append(L"', 'YYYY-MM-DD')");
        return true;
    }
    out.push_back(L' ');
    append_digits(out, p.wHour, 2);
    out.push_back(L':');
    append_digits(out, p.wMinute, 2);
    out.push_back(L':');
    append_digits(out, p.wSecond, 2);
    if (ms) {
        out.push_back(L'.');
        append_digits(out, p.wMilliseconds, 3);
        out.append(L"', 'YYYY-MM-DD HH24:MI:SS.FF3')");
    } else {
        out.append(L"', 'YYYY-MM-DD HH24:MI:SS')");
    }
    return true;
}

// Text as it is, quoted with its quotes doubled.
bool text_literal(const VARIANT& v, bool quote, std::wstring& out)
{
    const size_t n = v.bstrVal ? SysStringLen(v.bstrVal) : 0;
    if (!quote) {
        out.assign(v.bstrVal ? v.bstrVal : L"", n);
        return true;
    }
    out.reserve(n + 2);
    out.assign(1, L'\'');
    if (n == 0) {
        out.push_back(L'\'');
        return true;
    }
    for (const wchar_t* c = v.bstrVal; c != v.bstrVal + n; ++c) {
        out.push_back(*c);
        if (*c == L'\'') out.push_back(L'\'');
    }
    out.push_back(L'\'');
    return true;
}

// The literal of the usual values (integers, currency, decimals, booleans,
// dates in range, text, NULL); false for the others.
bool direct_literal(const udb_field& field, VARTYPE vt, bool quote, std::wstring& out)
{
    const VARIANT& v = field.value;
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        out.assign(quote ? L"''" : L"");
        return true;
    case VT_I1:
        out = digits_of(static_cast<int>(v.cVal));
        return true;
    case VT_I2:
        out = digits_of(static_cast<int>(v.iVal));
        return true;
    case VT_UI1:
        out = digits_of(static_cast<unsigned>(v.bVal));
        return true;
    case VT_UI2:
        out = digits_of(static_cast<unsigned>(v.uiVal));
        return true;
    case VT_I4:
        out = digits_of(static_cast<int>(v.lVal));
        return true;
    case VT_INT:
        out = digits_of(static_cast<int>(v.intVal));
        return true;
    case VT_UI4:
        out = digits_of(static_cast<unsigned>(v.ulVal));
        return true;
    case VT_UINT:
        out = digits_of(static_cast<unsigned>(v.uintVal));
        return true;
    case VT_I8:
        out = digits_of(static_cast<long long>(field.i8_value));
        return true;
    case VT_UI8:
        out = digits_of(static_cast<unsigned long long>(field.ui8_value));
        return true;
    case VT_BOOL: {
        // Mode 1 of the boolean map prints true as -1.
        const ole_bool_map* map = ole_bool_map::find();
        out.assign(v.boolVal != VARIANT_TRUE ? L"0" : map && map->mode == 1 ? L"-1" : L"1");
        return true;
    }
    case VT_CY:
        out = currency_digits(v.cyVal);
        return true;
    case VT_DECIMAL:
        // A scale beyond the type has no text: the general path gives its literal.
        if (v.decVal.scale > DECIMAL_MAX_SCALE) return false;
        out = scaled_digits((static_cast<unsigned __int128>(v.decVal.Hi32) << 64) | v.decVal.Lo64, v.decVal.scale,
                            (v.decVal.sign & DECIMAL_NEG) != 0);
        return true;
    case VT_DATE:
        return date_literal(field.date_parts, field.date_sub_ms_ns, out);
    case VT_BSTR:
        return text_literal(v, quote, out);
    default:
        return false;
    }
}

} // namespace

int ora_timestamp_tz_digits(const t_ftd& ftd)
{
    // "YYYY-MM-DD hh:mm:ss +hh:mm" is 26 characters; a fraction adds its point and digits.
    constexpr uint32_t whole_seconds = 26;
    constexpr uint32_t most_digits = 9;
    if (ftd.size <= whole_seconds + 1) return 0;
    return static_cast<int>(std::min(ftd.size - whole_seconds - 1, most_digits));
}

int ora_fraction_digits(const t_ftd& ftd)
{
    // The text of a time of day is "hh:mm:ss", of a timestamp "YYYY-MM-DD hh:mm:ss";
    // a fraction adds its point and digits.
    constexpr uint32_t time_chars = 8;
    constexpr uint32_t timestamp_chars = 19;
    constexpr uint32_t most_digits = 9;
    const uint32_t whole = ftd.dw_reserved == t_ftd::hint_time_only ? time_chars : timestamp_chars;
    if (ftd.vartype != VT_DATE || ftd.size < whole || ftd.size == whole + 1 || ftd.size > whole + 1 + most_digits)
        return -1;
    return ftd.size == whole ? 0 : static_cast<int>(ftd.size - whole - 1);
}

bool ora_is_timestamp_tz_column(const t_ftd& column)
{
    constexpr std::wstring_view zone = L"WITH TIME ZONE";
    const std::wstring& type = column.native_type;
    return (column.vartype == VT_BSTR && column.dw_reserved == t_ftd::hint_bstr_timestamp_tz) ||
           (type.size() > zone.size() && type.compare(type.size() - zone.size(), zone.size(), zone) == 0 &&
            type.find(L"LOCAL") == std::wstring::npos);
}

std::wstring ora_timestamp_tz_literal(const std::wstring& text)
{
    // Without a fraction the picture has none either: FF would take the offset's sign.
    const bool fraction = text.find(L'.') != std::wstring::npos;
    return L"TO_TIMESTAMP_TZ('" + ora_engine::quote_literal_text(text) + L"', 'YYYY-MM-DD HH24:MI:SS" +
           (fraction ? L".FF" : L"") + L" TZH:TZM')";
}

uint32_t ora_national_text_limit()
{
    // NVARCHAR2 holds 4000 bytes: as many characters as the national character set fits in them.
    constexpr uint32_t nvarchar2_bytes = 4000;
    const ora_engine* eng = ora_engine::find();
    const uint32_t width = eng && eng->national_char_bytes ? eng->national_char_bytes : ora_engine::k_al16utf16_bytes;
    return std::min(ora_text_limit, nvarchar2_bytes / width);
}

bool ora_is_lob_stored(const t_ftd& ftd)
{
    const VARTYPE vt = ftd.vartype;
    if (vt == VT_BSTR) return ftd.size == 0 || ftd.size > ora_national_text_limit();
    return (vt == VT_BLOB || vt == VT_BYTE_ARRAY) && (ftd.size == 0 || ftd.size > ora_text_limit);
}

std::wstring get_ora_native_type(const t_ftd& ftd, bool plain)
{
    tk_logger::log(1, "get_ora_native_type [Oracle]");
    tk_logger::log(1, "vt=%d, size=%d, dw_reserved=%d", ftd.vartype, static_cast<int>(ftd.size),
                   static_cast<int>(ftd.dw_reserved));
    VARTYPE vt = ftd.vartype;
    // Narrow and wide text pointers and the other binary forms map as their families do.
    if (vt == VT_LPSTR || vt == VT_LPWSTR)
        vt = VT_BSTR;
    else if (vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY)
        vt = VT_BLOB;
    switch (vt) {
    case VT_I2:
    case VT_UI1:
        return plain ? L"NUMBER" : L"NUMBER(5,0)";
    case VT_I4:
    case VT_UI2:
    case VT_INT:
        return plain ? L"NUMBER" : L"NUMBER(10,0)";
    case VT_BOOL:
    case VT_I1:
        return plain ? L"NUMBER" : L"NUMBER(3,0)";
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_UINT:
        return L"NUMBER";
    case VT_DECIMAL: {
        if (plain) return L"NUMBER";
        const long p = (ftd.dw_reserved >> 8) & 0xFF;
        const long s = ftd.dw_reserved & 0xFF;
        if (p != 0 && p >= s) {
            std::wstring r = L"NUMBER(" + std::to_wstring(p) + L"," + std::to_wstring(s) + L")";
            tk_logger::log(1, L"VT_DECIMAL->%s", r.c_str());
            return r;
        }
        tk_logger::log(1, "VT_DECIMAL with invalid prec/scale");
        return L"NUMBER";
    }
    case VT_DATE: {
        // A date-function default (getdate()) changes nothing about the values:
        // they keep their fraction. A time of day keeps its fraction too, on
        // SQL Server's date of a time.
        const bool timestamp = ftd.dw_reserved == t_ftd::hint_date_timestamp ||
                               ftd.dw_reserved == t_ftd::hint_date_function || ftd.dw_reserved == t_ftd::hint_time_only;
        if (!timestamp) return L"DATE";
        const int digits = ora_fraction_digits(ftd);
        if (plain || digits < 0) return L"TIMESTAMP";
        return L"TIMESTAMP(" + std::to_wstring(digits) + L")";
    }
    case VT_BSTR:
        tk_logger::log(1, "process as text");
        if (ftd.dw_reserved == t_ftd::hint_bstr_timestamp_tz)
            return plain ? std::wstring(L"TIMESTAMP WITH TIME ZONE")
                         : L"TIMESTAMP(" + std::to_wstring(ora_timestamp_tz_digits(ftd)) + L") WITH TIME ZONE";
        if (ftd.size >= 1 && ftd.size <= ora_national_text_limit())
            return plain ? std::wstring(L"NVARCHAR2") : L"NVARCHAR2(" + std::to_wstring(ftd.size) + L") ";
        if (ftd.dw_reserved == t_ftd::hint_bstr_long) return L"LONG";
        // Long national text and XML keep every character whatever the database's character set.
        return ftd.dw_reserved == t_ftd::hint_bstr_national || ftd.dw_reserved == t_ftd::hint_bstr_xml ? L"NCLOB"
                                                                                                       : L"CLOB";
    case VT_BLOB:
        tk_logger::log(1, "process as binary(size=%d)", static_cast<int>(ftd.size));
        if (ftd.size >= 1 && ftd.size <= ora_text_limit)
            return plain ? std::wstring(L"RAW") : L"RAW(" + std::to_wstring(ftd.size) + L")";
        return L"BLOB";
    default:
        throw tk_mail_assertion("ora_util", 199);
    }
}

std::wstring get_ora_native_type1(const std::wstring& name, int32_t length, int32_t scale, int32_t precision)
{
    tk_logger::log(1, L"get_ora_native_type1(%s)", name.c_str());
    const bool sized = name.find(L"CHAR") != std::wstring::npos || name.find(L"RAW") != std::wstring::npos ||
                       name.find(L"BYTE") != std::wstring::npos;
    if (sized && static_cast<uint32_t>(length) <= ora_text_limit)
        return name + L"(" + std::to_wstring(static_cast<uint32_t>(length)) + L")";
    if (name.find(L"NUMBER") != std::wstring::npos) {
        if (precision != 0 && precision >= scale)
            return name + L"(" + std::to_wstring(precision) + L"," + std::to_wstring(scale) + L")";
        tk_logger::log(1, "VT_DECIMAL with invalid prec/scale");
        return L"NUMBER";
    }
    return name;
}

std::wstring ora_new_guid_expression()
{
    // The text form GUID values arrive in: upper-case digits in groups, between braces.
    return L"'{' || REGEXP_REPLACE(RAWTOHEX(SYS_GUID()), '(.{8})(.{4})(.{4})(.{4})(.{12})', '\\1-\\2-\\3-\\4-\\5') || "
           L"'}'";
}

std::wstring ora_clock_expression(const std::wstring& function, bool date_column)
{
    const std::wstring utc = L"SYS_EXTRACT_UTC(SYSTIMESTAMP)";
    const std::wstring utc_date = L"CAST(" + utc + L" AS DATE)";
    if (function == L"getdate()") return L"sysdate";
    if (function == L"sysdatetime()") return date_column ? L"SYSDATE" : L"SYSTIMESTAMP";
    if (function == L"getutcdate()" || function == L"sysutcdatetime()") return date_column ? utc_date : utc;
    if (function == L"convert(date,getdate())" || function == L"convert(date,sysdatetime())") return L"TRUNC(SYSDATE)";
    if (function == L"convert(date,getutcdate())" || function == L"convert(date,sysutcdatetime())")
        return L"TRUNC(" + utc_date + L")";
    return {};
}

std::wstring make_ora_def_val(const t_ftd* ftd)
{
    if (!ftd) throw tk_mail_assertion("ora_util", 241);
    const std::wstring text = ftd->default_value.to_wstring();
    tk_logger::log(1, L"make_ora_def_val(%s)", text.c_str());
    if (text.empty()) {
        tk_logger::log(1, "Got empty def value");
        return {};
    }
    switch (ftd->vartype) {
    case VT_BSTR: {
        tk_logger::log(1, L"Got BSTR or DATE def value: %s", text.c_str());
        if (ftd->dw_reserved == t_ftd::hint_bstr_guid && lower(trim_parens(text)) == L"newid()")
            return ora_new_guid_expression();
        std::wstring t = text;
        if (ftd->size != 0 && t.size() > ftd->size) t.resize(ftd->size);
        return to_oracle_str(t, VT_BSTR, true);
    }
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_BOOL: {
        errno = 0;
        wchar_t* end = nullptr;
        const long long v = std::wcstoll(text.c_str(), &end, 10);
        if (errno != 0 || std::to_wstring(v) != text) return {};
        return text;
    }
    case VT_DECIMAL:
    case VT_R4:
    case VT_R8:
    case VT_CY: {
        wchar_t* end = nullptr;
        const double v = std::wcstod(text.c_str(), &end);
        if (v < -1e126 || v > 1e126) {
            tk_logger::log(1, "def value is out of range");
            return L"0";
        }
        if (v == 0.0) {
            if (text == L"0" || only_zero_chars(text)) return text;
            return {};
        }
        return text;
    }
    case VT_DATE: {
        tk_logger::log(1, "Got DATE def value");
        // A date function held as text: the server's own clock, as the column's type keeps it.
        const std::wstring fn = lower(trim_parens(text));
        const bool date_column = get_ora_native_type(*ftd, true) == L"DATE";
        const std::wstring clock = ora_clock_expression(fn, date_column);
        if (!clock.empty()) return clock;
        const std::wstring canon = ole_date(text).to_wstring(true);
        tk_logger::log(1, L"After canonization: %s", canon.c_str());
        if (canon.empty()) return {};
        return to_oracle_str(canon, VT_DATE, true);
    }
    default:
        return {};
    }
}

std::wstring to_oracle_str(const std::wstring& text, VARTYPE vt, bool quote)
{
    tk_logger::log(1, L"to_oracle_str(%s,%d)", text.c_str(), static_cast<int>(vt));
    if (text.empty()) return quote ? L"''" : L"";
    if (vt == VT_DATE) {
        ole_date d(text);
        if (!d.is_valid()) {
            tk_logger::log(3, L"Invalid date value '%s' is written as NULL", text.c_str());
            return {};
        }
        const SYSTEMTIME p = d.parts;
        const int ms = p.wMilliseconds;
        if (d.sub_ms_ns != 0 && d.kind != ole_date::kind_date) {
            SYSTEMTIME fine = p;
            if (d.kind == ole_date::kind_time) fine.wYear = fine.wMonth = fine.wDay = 0;
            return fine_timestamp_literal(fine, d.sub_ms_ns);
        }
        std::wstring t = d.to_wstring(false);
        const size_t dot = t.find(L'.');
        if (dot != std::wstring::npos) t.resize(dot);
        const std::wstring msbuf = L"." + pad(ms, 3);
        switch (d.kind) {
        case 3: {
            const size_t z = t.find(L"0000-00-00 ");
            if (z != std::wstring::npos) {
                tk_logger::log(1, "Null date has been found");
                t.erase(z, 11);
            }
            // A time alone would take the first day of the run's month; SQL Server's date of a time is fixed.
            if (ms != 0)
                return L"to_timestamp('" + std::wstring(time_only_date) + L" " + t + msbuf +
                       L"', 'YYYY-MM-DD HH24-MI-SS.FF3')";
            return L"to_date('" + std::wstring(time_only_date) + L" " + t + L"', 'YYYY-MM-DD HH24-MI-SS')";
        }
        case 2:
            return L"to_date('" + t + L"', 'YYYY-MM-DD')";
        default:
            if (ms != 0) {
                // Oracle's to_date refuses fractions; to_timestamp keeps them.
                const std::wstring tbuf = L" " + pad(p.wHour, 2) + L":" + pad(p.wMinute, 2) + L":" + pad(p.wSecond, 2);
                return L"to_timestamp('" + t.substr(0, 10) + tbuf + msbuf + L"', 'YYYY-MM-DD HH24:MI:SS.FF3')";
            }
            if (t.size() == 10) return L"to_date('" + t + L"', 'YYYY-MM-DD')";
            return L"to_date('" + t + L"', 'YYYY-MM-DD HH24:MI:SS')";
        }
    }
    if (is_bin(vt)) {
        tk_logger::log(1, "GOT BLOB");
        if (text.size() < 2) return L"''";
        if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
            bool hex = true;
            for (size_t i = 2; i < text.size() && hex; ++i) hex = std::iswxdigit(static_cast<wint_t>(text[i])) != 0;
            if (hex) {
                tk_logger::log(1, "BLOB IS VALID");
                return L"'" + text.substr(2) + L"'";
            }
        }
        tk_logger::log(3, L"Invalid binary value '%s' is written as empty", text.c_str());
        return L"''";
    }
    std::wstring r = text;
    if (quote) {
        r = ora_engine::quote_literal_text(r);
        // Text pointers are text too: bare they would end up as SQL.
        if (vt == VT_BSTR || vt == VT_LPSTR || vt == VT_LPWSTR) r = L"'" + r + L"'";
    }
    return r;
}

std::wstring to_oracle_str(const udb_field* field, bool quote)
{
    tk_logger::log(1, "to_oracle_str( const udb_field *  )");
    if (!field) throw tk_mail_assertion("ora_util", 349);
    const VARTYPE vt = field->get_type();
    std::wstring direct;
    if (direct_literal(*field, vt, quote, direct)) return direct;
    // Text and bytes arrive as they are, a "guid{...}" text too: only a
    // uniqueidentifier is a GUID, and it comes as its own GUID text.
    return to_oracle_str(field->to_wstring(), vt, quote);
}

VARTYPE get_ora_vartype(uint16_t code)
{
    tk_logger::log(1, "get_ora_vartype(%d)", static_cast<int>(code));
    switch (code) {
    case 2:
    case 4:
    case 6:
    case 7:
        return int64_flag() ? VT_I8 : VT_R8;
    case 3:
        return VT_I4;
    case 12:
    case 184:
    case 187:
    case 188:
    case 231:
    case 232:
        return VT_DATE;
    case 23:
    case 24:
    case 113:
    case 114:
        return VT_BLOB;
    default:
        return VT_BSTR;
    }
}

VARTYPE get_refined_num_type(uint32_t& precision, uint32_t scale)
{
    tk_logger::log(1, "get_refined_num_type(prec=%d,scale=%d)", static_cast<int>(precision), static_cast<int>(scale));
    const VARTYPE unknown = int64_flag() ? VT_I8 : VT_R8;
    if (precision == 0) return unknown;
    if (scale != 0) {
        if (precision == scale) ++precision;
        return VT_DECIMAL;
    }
    if (precision >= 39) return unknown;
    tk_logger::log(1, "Refine type mapping for int (prec=%d)", static_cast<int>(precision));
    if (precision <= 2) return VT_I1;
    if (precision <= 4) return VT_I2;
    if (precision <= 10) return VT_I4;
    if (precision <= 20) return VT_I8;
    return unknown;
}

uint32_t get_ora_len(const t_ftd& ftd)
{
    tk_logger::log(1, "get_ora_len");
    if (ora_is_lob_stored(ftd)) return 0;
    switch (ftd.vartype) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return 4;
    case VT_R8:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    case VT_CY:
        return 48;
    case VT_BSTR:
    case VT_LPWSTR:
        return ftd.size * 2 + 2;
    case VT_DECIMAL: {
        const uint32_t p = (ftd.dw_reserved >> 8) & 0xFF;
        return p * 2 < 54 ? 60 : p * 2 + 6;
    }
    default:
        return 0;
    }
}

uint16_t get_ora_type(const t_ftd& ftd)
{
    tk_logger::log(1, "get_ora_type");
    switch (ftd.vartype) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return 3;
    case VT_R4:
        return 4;
    case VT_R8:
    case VT_I8:
    case VT_UI8:
        return 22;
    case VT_CY:
    case VT_BSTR:
    case VT_DECIMAL:
    case VT_LPWSTR:
    case VT_BLOB:
        return 5;
    case VT_DATE:
        return 156;
    default:
        return 0;
    }
}

std::wstring ora_simplify_name(const std::wstring& name)
{
    tk_logger::log(1, L"ora_simplify_name(%s)", name.c_str());
    std::wstring r;
    r.reserve(name.size());
    for (wchar_t c : name)
        if (c != L'"') r.push_back(c);
    return r;
}

std::pair<std::wstring, std::wstring> ora_split_name(const std::wstring& name)
{
    tk_logger::log(1, L"ora_split_name(%s)", name.c_str());
    if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"') {
        tk_logger::log(1, "Name is enclosed in \"...\"");
        const std::wstring rest = name.substr(1, name.size() - 2);
        const size_t sep = rest.find(L"\".\"");
        if (sep != std::wstring::npos) return {rest.substr(0, sep), rest.substr(sep + 3)};
        return {std::wstring(), rest};
    }
    tk_logger::log(1, "Name is NOT enclosed in \"...\"");
    const size_t dot = name.find(L'.');
    if (dot != std::wstring::npos) {
        tk_logger::log(1, "Getting schema for composed name");
        const std::wstring schema = name.substr(0, dot);
        tk_logger::log(1, L"schema=%s", schema.c_str());
        return {schema, name.substr(dot + 1)};
    }
    tk_logger::log(1, "Prepare default schema for simple name (table only)");
    return {std::wstring(), name};
}
