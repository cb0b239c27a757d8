#include "platform/mssx/mssx_date_functions.h"
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include "platform/embedded/embedded_civil_date.h"
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_error.h"

namespace {

using embedded::civil_from_days;
using embedded::days_from_civil;

constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysPerWeek = 7;
// 1970-01-01, day 0 of the count below, was a Thursday: four days after a Sunday.
constexpr int64_t kEpochAfterSunday = 4;

const std::array<const char*, 12> kMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                                                 "July",    "August",   "September", "October", "November", "December"};
const std::array<const char*, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

struct moment {
    int y = 1900, m = 1, d = 1;
    int64_t seconds = 0; // of the day
    int64_t nanos = 0;   // of the second
    int tz_minutes = 0;
};

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m)
{
    static const int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : dim[m - 1];
}

int64_t day_number(const moment& t) { return days_from_civil(t.y, t.m, t.d); }

// The moment a value holds: its stored form, or text the server reads as a date/time.
moment read(const std::string& value, const std::string& dateformat)
{
    std::string canon;
    if (!mssx_parse_datetime(value, mssx_make_type("datetimeoffset", {"7"}), dateformat, canon))
        throw mssx_error(241, "Conversion failed when converting date and/or time from character string.");
    // "yyyy-mm-dd hh:mi:ss.fffffff +hh:mm"
    moment t;
    t.y = std::atoi(canon.substr(0, 4).c_str());
    t.m = std::atoi(canon.substr(5, 2).c_str());
    t.d = std::atoi(canon.substr(8, 2).c_str());
    t.seconds = std::atoi(canon.substr(11, 2).c_str()) * 3600 + std::atoi(canon.substr(14, 2).c_str()) * 60 +
                std::atoi(canon.substr(17, 2).c_str());
    t.nanos = std::atoll(canon.substr(20, 7).c_str()) * 100;
    int tz = std::atoi(canon.substr(29, 2).c_str()) * 60 + std::atoi(canon.substr(32, 2).c_str());
    t.tz_minutes = canon[28] == '-' ? -tz : tz;
    return t;
}

std::string write(const moment& t, const mssx_type& result, const char* function)
{
    char buf[64];
    std::string text;
    if (result.name == "time") {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%09lld", static_cast<int>(t.seconds / 3600),
                      static_cast<int>(t.seconds / 60 % 60), static_cast<int>(t.seconds % 60),
                      static_cast<long long>(t.nanos));
        text = buf;
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09lld", t.y, t.m, t.d,
                      static_cast<int>(t.seconds / 3600), static_cast<int>(t.seconds / 60 % 60),
                      static_cast<int>(t.seconds % 60), static_cast<long long>(t.nanos));
        text = buf;
        if (result.name == "datetimeoffset") {
            int tz = t.tz_minutes < 0 ? -t.tz_minutes : t.tz_minutes;
            std::snprintf(buf, sizeof buf, " %c%02d:%02d", t.tz_minutes < 0 ? '-' : '+', tz / 60, tz % 60);
            text += buf;
        }
    }
    std::string out;
    if (t.y < 1 || t.y > 9999 || !mssx_parse_datetime(text, result, "ymd", out))
        throw mssx_error(517, std::string("Adding a value to a '") + result.name + "' column caused an overflow.");
    (void)function;
    return out;
}

void add_months(moment& t, int64_t months)
{
    int64_t total = static_cast<int64_t>(t.y) * 12 + (t.m - 1) + months;
    if (total < 0 || total > 9999 * 12 + 11) {
        t.y = 0; // out of range: refused when written
        return;
    }
    t.y = static_cast<int>(total / 12);
    t.m = static_cast<int>(total % 12) + 1;
    if (t.d > days_in_month(t.y, t.m)) t.d = days_in_month(t.y, t.m);
}

void add_nanos(moment& t, __int128 nanos)
{
    __int128 total = (static_cast<__int128>(day_number(t)) * kSecondsPerDay + t.seconds) * kNanosPerSecond + t.nanos;
    total += nanos;
    __int128 per_day = static_cast<__int128>(kSecondsPerDay) * kNanosPerSecond;
    __int128 days = total / per_day - ((total % per_day != 0) && (total < 0));
    __int128 rest = total - days * per_day;
    if (days > std::numeric_limits<int32_t>::max() || days < std::numeric_limits<int32_t>::min()) {
        t.y = 0;
        return;
    }
    civil_from_days(static_cast<int64_t>(days), t.y, t.m, t.d);
    t.seconds = static_cast<int64_t>(rest / kNanosPerSecond);
    t.nanos = static_cast<int64_t>(rest % kNanosPerSecond);
}

int weekday0(const moment& t) // 0 = Sunday
{
    int64_t x = day_number(t) + kEpochAfterSunday;
    return static_cast<int>(x - floor_div(x, kDaysPerWeek) * kDaysPerWeek);
}

int day_of_year(const moment& t) { return static_cast<int>(day_number(t) - days_from_civil(t.y, 1, 1) + 1); }

int iso_week(const moment& t)
{
    // the week with the year's first Thursday is week 1; weeks start on Monday
    int wd = (weekday0(t) + 6) % 7; // 0 = Monday
    int64_t thursday = day_number(t) - wd + 3;
    int y, m, d;
    civil_from_days(thursday, y, m, d);
    return static_cast<int>((thursday - days_from_civil(y, 1, 1)) / kDaysPerWeek + 1);
}

const char* type_label(const mssx_type& t) { return t.name.c_str(); }

bool has_time(const mssx_type& t) { return t.name != "date"; }
bool has_date(const mssx_type& t) { return t.name != "time"; }

// SQLite hands errors of a function on as text: the server's number travels in front.
void fail(sqlite3_context* ctx, const mssx_error& e)
{
    std::string m = "mssx#" + std::to_string(e.number) + "#" + e.what();
    sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
}

std::string text_arg(sqlite3_value* v)
{
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v)))
             : std::string();
}

mssx_date_part part_arg(sqlite3_value* v)
{
    auto p = mssx_date_part_of(text_arg(v));
    if (!p) throw mssx_error(155, "'" + text_arg(v) + "' is not a recognized datepart option.");
    return *p;
}

bool any_null(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

int64_t count_arg(sqlite3_value* v)
{
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
    double d = sqlite3_value_double(v);
    if (!(d > -2147483649.0 && d < 2147483648.0))
        throw mssx_error(8115, "Arithmetic overflow error converting expression to data type int.");
    return static_cast<int64_t>(d);
}

// mssx_dateadd(part, n, value, result type, dateformat)
void fn_dateadd(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
            return sqlite3_result_null(ctx);
        std::string r = mssx_dateadd(part_arg(argv[0]), count_arg(argv[1]), text_arg(argv[2]),
                                     mssx_col("", text_arg(argv[3])).type, text_arg(argv[4]));
        sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

// mssx_datediff(part, start, end, dateformat, big)
void fn_datediff(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        if (any_null(3, argv)) return sqlite3_result_null(ctx);
        sqlite3_result_int64(ctx, mssx_datediff(part_arg(argv[0]), text_arg(argv[1]), text_arg(argv[2]),
                                                text_arg(argv[3]), sqlite3_value_int(argv[4]) != 0));
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

// mssx_datepart(part, value, dateformat) and mssx_datename(...)
void fn_datepart(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        if (any_null(2, argv)) return sqlite3_result_null(ctx);
        sqlite3_result_int64(ctx, mssx_datepart(part_arg(argv[0]), text_arg(argv[1]), text_arg(argv[2])));
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

void fn_datename(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        if (any_null(2, argv)) return sqlite3_result_null(ctx);
        std::string r = mssx_datename(part_arg(argv[0]), text_arg(argv[1]), text_arg(argv[2]));
        sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

// mssx_eomonth(value, months, dateformat)
void fn_eomonth(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        if (any_null(2, argv)) return sqlite3_result_null(ctx);
        std::string r = mssx_eomonth(text_arg(argv[0]), count_arg(argv[1]), text_arg(argv[2]));
        sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
    } catch (const mssx_error& e) {
        fail(ctx, e);
    }
}

} // namespace

std::optional<mssx_date_part> mssx_date_part_of(const std::string& name)
{
    std::string n;
    for (char c : name) n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::pair<const char*, mssx_date_part> names[] = {
        {"year", mssx_date_part::year},       {"yy", mssx_date_part::year},
        {"yyyy", mssx_date_part::year},       {"quarter", mssx_date_part::quarter},
        {"qq", mssx_date_part::quarter},      {"q", mssx_date_part::quarter},
        {"month", mssx_date_part::month},     {"mm", mssx_date_part::month},
        {"m", mssx_date_part::month},         {"dayofyear", mssx_date_part::dayofyear},
        {"dy", mssx_date_part::dayofyear},    {"y", mssx_date_part::dayofyear},
        {"day", mssx_date_part::day},         {"dd", mssx_date_part::day},
        {"d", mssx_date_part::day},           {"week", mssx_date_part::week},
        {"wk", mssx_date_part::week},         {"ww", mssx_date_part::week},
        {"weekday", mssx_date_part::weekday}, {"dw", mssx_date_part::weekday},
        {"w", mssx_date_part::weekday},       {"hour", mssx_date_part::hour},
        {"hh", mssx_date_part::hour},         {"minute", mssx_date_part::minute},
        {"mi", mssx_date_part::minute},       {"n", mssx_date_part::minute},
        {"second", mssx_date_part::second},   {"ss", mssx_date_part::second},
        {"s", mssx_date_part::second},        {"millisecond", mssx_date_part::millisecond},
        {"ms", mssx_date_part::millisecond},  {"microsecond", mssx_date_part::microsecond},
        {"mcs", mssx_date_part::microsecond}, {"nanosecond", mssx_date_part::nanosecond},
        {"ns", mssx_date_part::nanosecond},   {"tzoffset", mssx_date_part::tzoffset},
        {"tz", mssx_date_part::tzoffset},     {"iso_week", mssx_date_part::iso_week},
        {"isowk", mssx_date_part::iso_week},  {"isoww", mssx_date_part::iso_week},
    };
    for (const auto& [k, p] : names)
        if (n == k) return p;
    return std::nullopt;
}

std::string mssx_dateadd(mssx_date_part part, int64_t n, const std::string& value, const mssx_type& result,
                         const std::string& dateformat)
{
    moment t = read(value, dateformat);
    bool time_part = part >= mssx_date_part::hour && part <= mssx_date_part::nanosecond;
    if ((time_part && !has_time(result)) || (!time_part && !has_date(result)) || part == mssx_date_part::tzoffset ||
        part == mssx_date_part::iso_week)
        throw mssx_error(9810, std::string("The datepart is not supported by date function dateadd for data type ") +
                                   type_label(result) + ".");
    switch (part) {
    case mssx_date_part::year:
        add_months(t, n * 12);
        break;
    case mssx_date_part::quarter:
        add_months(t, n * 3);
        break;
    case mssx_date_part::month:
        add_months(t, n);
        break;
    case mssx_date_part::week:
        add_nanos(t, static_cast<__int128>(n) * kDaysPerWeek * kSecondsPerDay * kNanosPerSecond);
        break;
    case mssx_date_part::dayofyear:
    case mssx_date_part::day:
    case mssx_date_part::weekday:
        add_nanos(t, static_cast<__int128>(n) * kSecondsPerDay * kNanosPerSecond);
        break;
    case mssx_date_part::hour:
        add_nanos(t, static_cast<__int128>(n) * 3600 * kNanosPerSecond);
        break;
    case mssx_date_part::minute:
        add_nanos(t, static_cast<__int128>(n) * 60 * kNanosPerSecond);
        break;
    case mssx_date_part::second:
        add_nanos(t, static_cast<__int128>(n) * kNanosPerSecond);
        break;
    case mssx_date_part::millisecond:
        add_nanos(t, static_cast<__int128>(n) * 1000000);
        break;
    case mssx_date_part::microsecond:
        add_nanos(t, static_cast<__int128>(n) * 1000);
        break;
    default:
        add_nanos(t, n);
        break;
    }
    if (result.name == "time") {
        // time wraps around midnight
        t.y = 1900;
        t.m = 1;
        t.d = 1;
    }
    return write(t, result, "dateadd");
}

int64_t mssx_datediff(mssx_date_part part, const std::string& start, const std::string& end,
                      const std::string& dateformat, bool big)
{
    moment a = read(start, dateformat), b = read(end, dateformat);
    auto total_nanos = [](const moment& t) {
        // an offset counts: both sides are compared in UTC
        return (static_cast<__int128>(day_number(t)) * kSecondsPerDay + t.seconds - t.tz_minutes * 60) *
                   kNanosPerSecond +
               t.nanos;
    };
    auto units = [&](int64_t per) {
        __int128 x = total_nanos(a), y = total_nanos(b);
        auto fl = [](__int128 v, int64_t d) { return v / d - ((v % d != 0) && (v < 0)); };
        return fl(y, per) - fl(x, per);
    };
    __int128 r = 0;
    switch (part) {
    case mssx_date_part::year:
        r = b.y - a.y;
        break;
    case mssx_date_part::quarter:
        r = (b.y * 4 + (b.m - 1) / 3) - (a.y * 4 + (a.m - 1) / 3);
        break;
    case mssx_date_part::month:
        r = (b.y * 12 + b.m) - (a.y * 12 + a.m);
        break;
    case mssx_date_part::dayofyear:
    case mssx_date_part::day:
    case mssx_date_part::weekday:
        r = day_number(b) - day_number(a);
        break;
    case mssx_date_part::week:
    case mssx_date_part::iso_week:
        r = floor_div(day_number(b) + kEpochAfterSunday, kDaysPerWeek) -
            floor_div(day_number(a) + kEpochAfterSunday, kDaysPerWeek);
        break;
    case mssx_date_part::hour:
        r = units(3600 * kNanosPerSecond);
        break;
    case mssx_date_part::minute:
        r = units(60 * kNanosPerSecond);
        break;
    case mssx_date_part::second:
        r = units(kNanosPerSecond);
        break;
    case mssx_date_part::millisecond:
        r = units(1000000);
        break;
    case mssx_date_part::microsecond:
        r = units(1000);
        break;
    case mssx_date_part::nanosecond:
        r = units(1);
        break;
    case mssx_date_part::tzoffset:
        throw mssx_error(9810, "The datepart tzoffset is not supported by date function datediff.");
    }
    int64_t hi = big ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int32_t>::max();
    int64_t lo = big ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int32_t>::min();
    if (r > hi || r < lo)
        throw mssx_error(535,
                         "The datediff function resulted in an overflow. The number of dateparts separating two "
                         "date/time instances is too large. Try to use datediff with a less precise datepart.");
    return static_cast<int64_t>(r);
}

int64_t mssx_datepart(mssx_date_part part, const std::string& value, const std::string& dateformat)
{
    moment t = read(value, dateformat);
    switch (part) {
    case mssx_date_part::year:
        return t.y;
    case mssx_date_part::quarter:
        return (t.m - 1) / 3 + 1;
    case mssx_date_part::month:
        return t.m;
    case mssx_date_part::dayofyear:
        return day_of_year(t);
    case mssx_date_part::day:
        return t.d;
    case mssx_date_part::week: {
        moment jan1 = t;
        jan1.m = 1;
        jan1.d = 1;
        return (day_of_year(t) - 1 + weekday0(jan1)) / kDaysPerWeek + 1;
    }
    case mssx_date_part::weekday:
        return weekday0(t) + 1;
    case mssx_date_part::hour:
        return t.seconds / 3600;
    case mssx_date_part::minute:
        return t.seconds / 60 % 60;
    case mssx_date_part::second:
        return t.seconds % 60;
    case mssx_date_part::millisecond:
        return t.nanos / 1000000;
    case mssx_date_part::microsecond:
        return t.nanos / 1000;
    case mssx_date_part::nanosecond:
        return t.nanos;
    case mssx_date_part::tzoffset:
        return t.tz_minutes;
    case mssx_date_part::iso_week:
        return iso_week(t);
    }
    return 0;
}

std::string mssx_datename(mssx_date_part part, const std::string& value, const std::string& dateformat)
{
    if (part == mssx_date_part::month)
        return kMonthNames[static_cast<size_t>(mssx_datepart(part, value, dateformat) - 1)];
    if (part == mssx_date_part::weekday)
        return kDayNames[static_cast<size_t>(mssx_datepart(part, value, dateformat) - 1)];
    if (part == mssx_date_part::tzoffset) {
        int64_t tz = mssx_datepart(part, value, dateformat), a = tz < 0 ? -tz : tz;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%c%02d:%02d", tz < 0 ? '-' : '+', static_cast<int>(a / 60),
                      static_cast<int>(a % 60));
        return buf;
    }
    return std::to_string(mssx_datepart(part, value, dateformat));
}

std::string mssx_eomonth(const std::string& value, int64_t months, const std::string& dateformat)
{
    moment t = read(value, dateformat);
    t.d = 1;
    add_months(t, months);
    if (t.y < 1) throw mssx_error(517, "Adding a value to a 'date' column caused an overflow.");
    t.d = days_in_month(t.y, t.m);
    t.seconds = 0;
    t.nanos = 0;
    return write(t, mssx_make_type("date", {}), "eomonth");
}

void mssx_register_date_functions(sqlite3* db)
{
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "mssx_dateadd", 5, flags, nullptr, fn_dateadd, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_datediff", 5, flags, nullptr, fn_datediff, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_datepart", 3, flags, nullptr, fn_datepart, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_datename", 3, flags, nullptr, fn_datename, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_eomonth", 3, flags, nullptr, fn_eomonth, nullptr, nullptr);
}
