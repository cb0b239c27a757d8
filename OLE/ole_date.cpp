#include "OLE/ole_date.h"

#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Room for the seconds text of a pattern; the scan width keeps within it.
constexpr size_t seconds_room = 64;

// A year written with one or two digits: below 50 in this century, else in the last.
int full_year(int year)
{
    if (year < 100) return year < 50 ? 2000 + year : 1900 + year;
    return year;
}

// Digits of the first and the third number of a "n<sep>n<sep>n" text, read as
// sscanf's "%hd" reads them (blanks, then a sign, then the digits).
void field_digits(const std::string& text, char sep, int& first, int& third)
{
    size_t i = 0;
    auto number = [&]() {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const size_t begin = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        const int digits = static_cast<int>(i - begin);
        if (i < text.size() && text[i] == sep) ++i;
        return digits;
    };
    first = number();
    number();
    third = number();
}

std::string format(const char* fmt, int a, int b, int c, int d = 0, int e = 0, int f = 0, int g = 0)
{
    char buf[96]; // the widest form: a date, a time and milliseconds of at most 5 digits each
    std::snprintf(buf, sizeof(buf), fmt, a, b, c, d, e, f, g);
    return buf;
}

} // namespace

ole_date::ole_date(const VARIANT& v)
{
    tk_logger::log(1, "ole_date::ole_date(VARIANT, vt=%d)", v.vt);
    switch (v.vt) {
    case VT_DATE:
        if (!VariantTimeToSystemTime(v.date, &parts)) {
            tk_logger::log(2, "Failed to convert VARIANT->SYSTEMTIME");
            clear_parts();
            return;
        }
        kind = kind_datetime;
        refine_type();
        return;
    case VT_EMPTY:
    case VT_NULL:
        return;
    default:
        throw tk_mail_assertion("ole_date", 74);
    }
}

ole_date::ole_date(const SYSTEMTIME& st) : ole_date(st, 0) {}

ole_date::ole_date(const SYSTEMTIME& st, uint32_t sub_ms)
{
    tk_logger::log(1, "ole_date::ole_date(SYSTEMTIME)");
    parts = st;
    sub_ms_ns = sub_ms % ns_per_ms;
    kind = kind_datetime;
    refine_type();
}

ole_date::ole_date(const char* text)
{
    tk_logger::log(1, "ole_date::ole_date('%s')", text ? text : "");
    parse(text ? text : "");
}

ole_date::ole_date(const std::string& text)
{
    tk_logger::log(1, "ole_date::ole_date('%s')", text.c_str());
    parse(text);
}

ole_date::ole_date(const std::wstring& text)
{
    std::string narrow;
    w2a(text.c_str(), narrow);
    tk_logger::log(1, "ole_date::ole_date('%s')", narrow.c_str());
    parse(narrow);
}

void ole_date::clear_parts()
{
    std::memset(&parts, 0, sizeof(parts));
    sub_ms_ns = 0;
    kind = kind_none;
    year_digits = 4;
    day_digits = 2;
}

void ole_date::parse(const std::string& given)
{
    clear_parts();
    std::string text = tk_trim(given);
    tk_logger::log(1, "After tk_trim: %s", text.c_str());
    bool am = false;
    for (const char* marker : {"AM", "PM", "am", "pm"}) {
        const size_t at = text.find(marker);
        if (at != std::string::npos) {
            am = marker[0] == 'A' || marker[0] == 'a';
            text = tk_trim(text.substr(0, at));
            break;
        }
    }
    tk_logger::log(1, "Again buf1=%s", text.c_str());
    if (text.size() < 5) {
        tk_logger::log(2, "Invalid date/time format: '%s'", text.c_str());
        return;
    }
    import_from_string(text);
    if ((kind == kind_datetime || kind == kind_date) && parts.wDay > 31 && parts.wYear < 32) {
        std::swap(parts.wYear, parts.wDay); // a day-first text such as 31-12-2016
        std::swap(year_digits, day_digits);
    }
    if (kind == kind_none) return;
    // Only a year written short stands for a nearby century; "0001-01-01" is the year 1.
    if (kind != kind_time && year_digits <= 2 && parts.wYear < 100)
        parts.wYear = static_cast<WORD>(full_year(parts.wYear));
    const bool pm = given.find("PM") != std::string::npos || given.find("pm") != std::string::npos;
    if (pm && parts.wHour < 12)
        parts.wHour += 12;
    else if (am && parts.wHour == 12)
        parts.wHour = 0; // 12 AM is midnight
}

bool ole_date::try_pattern(const std::string& text, const char* fmt, int index)
{
    tk_logger::log(1, "Trying datetime format #%d", index);
    short y = 0, mo = 0, d = 0, h = 0, mi = 0;
    std::vector<char> seconds(seconds_room, '\0');
    const int items = std::sscanf(text.c_str(), fmt, &y, &mo, &d, &h, &mi, seconds.data());
    if (items != 3 && items != 6) return false;
    parts.wYear = static_cast<WORD>(y);
    parts.wMonth = static_cast<WORD>(mo);
    parts.wDay = static_cast<WORD>(d);
    field_digits(text, fmt[3], year_digits, day_digits);
    if (items == 3) {
        tk_logger::log(1, "Format #%d succeeded (3 items)", index);
        kind = kind_date;
    } else {
        tk_logger::log(1, "Format #%d succeeded (6 items)", index);
        parts.wHour = static_cast<WORD>(h);
        parts.wMinute = static_cast<WORD>(mi);
        kind = kind_datetime;
    }
    if (!is_valid()) {
        clear_parts();
        return false;
    }
    if (items == 6) {
        process_milliseconds(seconds.data());
        refine_type();
        if (!is_valid()) {
            clear_parts();
            return false;
        }
    }
    return true;
}

void ole_date::import_from_string(const std::string& text)
{
    tk_logger::log(1, "ole_date::import_from_string");
    if (text.size() == 14) {
        tk_logger::log(1, "Trying timestamp format (1)...");
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        if (std::sscanf(text.c_str(), "%4d%02d%02d%02d%02d%02d", &y, &mo, &d, &h, &mi, &s) == 6) {
            parts.wYear = static_cast<WORD>(y);
            parts.wMonth = static_cast<WORD>(mo);
            parts.wDay = static_cast<WORD>(d);
            parts.wHour = static_cast<WORD>(h);
            parts.wMinute = static_cast<WORD>(mi);
            parts.wSecond = static_cast<WORD>(s);
            kind = kind_datetime;
            if (is_valid()) return;
            clear_parts();
        }
    }
    if (text.size() == 8) {
        tk_logger::log(1, "Trying timestamp format (2)...");
        int y = 0, mo = 0, d = 0;
        if (std::sscanf(text.c_str(), "%4d%02d%02d", &y, &mo, &d) == 3) {
            parts.wYear = static_cast<WORD>(y);
            parts.wMonth = static_cast<WORD>(mo);
            parts.wDay = static_cast<WORD>(d);
            kind = kind_date;
            if (is_valid()) return;
            clear_parts();
        }
    }
    {
        tk_logger::log(1, "Trying pure time format...");
        short h = 0, mi = 0;
        std::vector<char> seconds(seconds_room, '\0');
        const int items = std::sscanf(text.c_str(), "%hd:%hd:%63s", &h, &mi, seconds.data());
        if (items == 3 || (items == 2 && seconds[0] == '\0')) {
            parts.wHour = static_cast<WORD>(h);
            parts.wMinute = static_cast<WORD>(mi);
            kind = kind_time;
            if (is_valid()) {
                if (items == 3) process_milliseconds(seconds.data());
                if (is_valid()) return;
            }
            clear_parts();
        }
    }
    static const char* const patterns[] = {"%hd-%hd-%hd %hd:%hd:%63s", "%hd/%hd/%hd %hd:%hd:%63s",
                                           "%hd.%hd.%hd %hd:%hd:%63s"};
    for (int i = 0; i < 3; ++i)
        if (try_pattern(text, patterns[i], i)) return;

    std::wstring wide;
    if (a2w(text.c_str(), wide)) {
        LCID lcid = GetSystemDefaultLCID();
        if (lcid == 0) lcid = 1033;
        DATE date = 0;
        if (SUCCEEDED(VarDateFromStr(wide.c_str(), lcid, 0, &date)) && VariantTimeToSystemTime(date, &parts)) {
            tk_logger::log(1, "Got datetime using Microsoft API");
            kind = kind_datetime;
            refine_type();
            if (is_valid()) return;
        }
    }
    clear_parts();
    tk_logger::log(2, "Invalid date/time format: '%s'", text.c_str());
}

void ole_date::process_milliseconds(const char* seconds)
{
    tk_logger::log(1, "ole_date::process_milliseconds");
    if (!seconds) throw tk_mail_assertion("ole_date", 422);
    tk_logger::log(1, "Got row sec: '%s'", seconds);
    // Whole seconds, then the first three fraction digits as they stand:
    // "15.123" is 123 ms, "15.05" 50 ms.
    const char* p = seconds;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    unsigned long whole = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
        whole = whole < 100000 ? whole * 10 + static_cast<unsigned long>(*p - '0') : whole;
    unsigned ms = 0;
    uint32_t finer = 0;
    if (*p == '.') {
        ++p;
        unsigned digits = 0;
        for (; std::isdigit(static_cast<unsigned char>(*p)) && digits < 3; ++p, ++digits)
            ms = ms * 10 + static_cast<unsigned>(*p - '0');
        for (; digits < 3; ++digits) ms *= 10;
        // Up to nanoseconds (datetime2 has seven places); digits beyond are dropped.
        constexpr unsigned finer_digits = 6;
        for (digits = 0; std::isdigit(static_cast<unsigned char>(*p)) && digits < finer_digits; ++p, ++digits)
            finer = finer * 10 + static_cast<uint32_t>(*p - '0');
        for (; digits < finer_digits; ++digits) finer *= 10;
    }
    if (negative && (whole || ms || finer)) {
        whole = 0xFFFF; // no negative seconds: fails the validity check
        ms = 0;
        finer = 0;
    }
    sub_ms_ns = finer;
    parts.wSecond = static_cast<WORD>(whole > 0xFFFF ? 0xFFFF : whole);
    parts.wMilliseconds = static_cast<WORD>(ms);
    tk_logger::log(1, "Got sec: %d", parts.wSecond);
    tk_logger::log(1, "Got msec: %d", parts.wMilliseconds);
}

void ole_date::refine_type()
{
    tk_logger::log(1, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", parts.wYear, parts.wMonth, parts.wDay, parts.wHour,
                   parts.wMinute, parts.wSecond);
    if (parts.wYear == 0 && parts.wMonth == 0 && parts.wDay == 0)
        kind = kind_time;
    else if (parts.wHour == 0 && parts.wMinute == 0 && parts.wSecond == 0 && !has_fraction() && parts.wYear != 0 &&
             parts.wMonth != 0 && parts.wDay != 0)
        kind = kind_date; // a midnight with milliseconds stays a timestamp
}

bool ole_date::is_valid() const
{
    tk_logger::log(1, "ole_date::is_valid");
    if (kind == kind_none) return false;
    if (parts.wYear == 0 && parts.wMonth == 0 && parts.wDay == 0) {
        tk_logger::log(1, "DATETIME is a pute time");
    } else {
        if (parts.wMonth < 1 || parts.wMonth > 12) {
            tk_logger::log(1, "Invalid month");
            return false;
        }
        if (parts.wDay == 0 || parts.wYear == 0 || (parts.wDay > 31 && parts.wYear > 31)) {
            tk_logger::log(1, "Invalid day and/or year");
            return false;
        }
    }
    if (parts.wHour > 60 || parts.wMinute > 60 || parts.wSecond > 60) {
        tk_logger::log(1, "Invalid time");
        return false;
    }
    return true;
}

ole_variant ole_date::to_variant() const
{
    tk_logger::log(1, "ole_date::to_variant");
    return ole_variant(parts, sub_ms_ns);
}

std::string ole_date::fraction_text() const
{
    char buf[16]; // a point and nine digits
    std::snprintf(buf, sizeof(buf), ".%03u%06u", static_cast<unsigned>(parts.wMilliseconds) % 1000,
                  static_cast<unsigned>(sub_ms_ns % ns_per_ms));
    std::string out(buf);
    constexpr size_t ms_end = 4; // the point and the milliseconds stay
    while (out.size() > ms_end && out.back() == '0') out.pop_back();
    return out;
}

std::string ole_date::to_string(bool with_ms) const
{
    tk_logger::log(1, "ole_date::to_string");
    const int y = parts.wYear;
    const int mo = parts.wMonth, d = parts.wDay, h = parts.wHour, mi = parts.wMinute, s = parts.wSecond;
    switch (kind) {
    case kind_datetime:
        tk_logger::log(1, "printing datetime...");
        if (midnight_is_date && h == 0 && mi == 0 && s == 0 && (!has_fraction() || !with_ms))
            return format("%04d-%02d-%02d", y, mo, d);
        if (with_ms && has_fraction())
            return format("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s) + fraction_text();
        return format("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    case kind_date:
        tk_logger::log(1, "printing date...");
        return format("%04d-%02d-%02d", y, mo, d);
    case kind_time:
        tk_logger::log(1, "printing time...");
        if (has_fraction()) return format("0000-00-00 %02d:%02d:%02d", h, mi, s) + fraction_text();
        return format("0000-00-00 %02d:%02d:%02d", h, mi, s);
    default:
        return std::string();
    }
}

std::wstring ole_date::to_wstring(bool with_ms) const
{
    tk_logger::log(1, "ole_date::to_wstring");
    const int y = parts.wYear;
    const int mo = parts.wMonth, d = parts.wDay, h = parts.wHour, mi = parts.wMinute, s = parts.wSecond;
    std::string text;
    switch (kind) {
    case kind_datetime:
        tk_logger::log(1, "printing datetime...");
        if (midnight_is_date && h == 0 && mi == 0 && s == 0 && (!has_fraction() || !with_ms))
            text = format("%04d-%02d-%02d", y, mo, d);
        else if (with_ms && has_fraction())
            text = format("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s) + fraction_text();
        else
            text = format("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
        break;
    case kind_date:
        tk_logger::log(1, "printing date...");
        text = format("%04d-%02d-%02d", y, mo, d);
        break;
    case kind_time:
        tk_logger::log(1, "printing time...");
        text = format("%02d:%02d:%02d", h, mi, s) + (has_fraction() ? fraction_text() : std::string());
        break;
    default:
        break;
    }
    return std::wstring(text.begin(), text.end()); // digits, "-", ":" and "." only
}

bool ole_date::is_convertible(VARTYPE vt) { return vt == VT_BSTR || vt == VT_DATE; }
