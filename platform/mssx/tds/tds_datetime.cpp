#include "platform/mssx/tds/tds_datetime.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include "platform/embedded/embedded_civil_date.h"

namespace {

using embedded::civil_from_days;
using embedded::days_from_civil;

constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kNanosPerDay = 86400 * kNanosPerSecond;
constexpr int64_t kTicksPerSecond = 300; // datetime's clock

const int64_t kDay1 = days_from_civil(1, 1, 1);
const int64_t kDay1900 = days_from_civil(1900, 1, 1);

int64_t pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

int num(const std::string& s, size_t at, size_t n)
{
    if (at + n > s.size()) return 0;
    return std::atoi(s.substr(at, n).c_str());
}

void put_le(tds_writer& w, uint64_t v, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        w.u8(static_cast<uint8_t>(v & 0xFF));
        v >>= 8;
    }
}

uint64_t get_le(tds_reader& r, size_t n)
{
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(r.u8()) << (8 * i);
    return v;
}

std::string date_text(int64_t days_since_epoch)
{
    int y, m, d;
    civil_from_days(days_since_epoch, y, m, d);
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d);
    return b;
}

std::string time_text(int64_t nanos, int digits)
{
    int64_t secs = nanos / kNanosPerSecond;
    char b[48];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60));
    std::string s = b;
    if (digits > 0) {
        std::snprintf(b, sizeof b, ".%09lld", static_cast<long long>(nanos % kNanosPerSecond));
        s += std::string(b).substr(0, static_cast<size_t>(digits) + 1);
    }
    return s;
}

// Time in units of 10^-scale seconds, rounded; a carry past midnight stays inside the day.
uint64_t time_units(int64_t nanos, int scale)
{
    int64_t unit = pow10(9 - scale);
    int64_t u = (nanos + unit / 2) / unit;
    int64_t per_day = 86400 * pow10(scale);
    if (u >= per_day) u = per_day - 1;
    return static_cast<uint64_t>(u);
}

size_t time_length(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

int64_t nanos_from_units(tds_reader& r, int scale, size_t bytes)
{
    if (scale < 0 || scale > 7) throw tds_protocol_error("time scale out of range");
    int64_t u = static_cast<int64_t>(get_le(r, bytes));
    int64_t n = u * pow10(9 - scale);
    if (n < 0 || n >= kNanosPerDay) throw tds_protocol_error("time out of range");
    return n;
}

} // namespace

tds_datetime tds_parse_stored_datetime(const std::string& s)
{
    tds_datetime d;
    size_t p = 0;
    if (s.size() >= 10 && s[4] == '-') {
        d.year = num(s, 0, 4);
        d.month = num(s, 5, 2);
        d.day = num(s, 8, 2);
        p = 10;
        while (p < s.size() && (s[p] == ' ' || s[p] == 'T')) ++p;
    }
    if (p + 8 <= s.size() && s[p + 2] == ':') {
        int64_t secs = num(s, p, 2) * 3600 + num(s, p + 3, 2) * 60 + num(s, p + 6, 2);
        d.nanos = secs * kNanosPerSecond;
        p += 8;
        if (p < s.size() && s[p] == '.') {
            size_t b = ++p;
            while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
            std::string frac = s.substr(b, std::min<size_t>(p - b, 9));
            frac.resize(9, '0');
            d.nanos += std::atoll(frac.c_str());
        }
    }
    while (p < s.size() && s[p] == ' ') ++p;
    if (p + 6 <= s.size() && (s[p] == '+' || s[p] == '-')) {
        int m = num(s, p + 1, 2) * 60 + num(s, p + 4, 2);
        d.offset_minutes = s[p] == '-' ? -m : m;
    }
    return d;
}

void tds_put_date(tds_writer& w, const tds_datetime& d)
{
    put_le(w, static_cast<uint64_t>(days_from_civil(d.year, d.month, d.day) - kDay1), 3);
}

void tds_put_time(tds_writer& w, const tds_datetime& d, int scale)
{
    put_le(w, time_units(d.nanos, scale), time_length(scale));
}

void tds_put_datetimeoffset(tds_writer& w, const tds_datetime& d, int scale)
{
    // the wire carries UTC and the offset apart
    int64_t days = days_from_civil(d.year, d.month, d.day);
    int64_t nanos = d.nanos - static_cast<int64_t>(d.offset_minutes) * 60 * kNanosPerSecond;
    if (nanos < 0) {
        nanos += kNanosPerDay;
        --days;
    }
    if (nanos >= kNanosPerDay) {
        nanos -= kNanosPerDay;
        ++days;
    }
    tds_datetime utc;
    utc.nanos = nanos;
    civil_from_days(days, utc.year, utc.month, utc.day);
    tds_put_time(w, utc, scale);
    tds_put_date(w, utc);
    w.u16(static_cast<uint16_t>(static_cast<int16_t>(d.offset_minutes)));
}

void tds_put_datetime(tds_writer& w, const tds_datetime& d)
{
    int64_t days = days_from_civil(d.year, d.month, d.day) - kDay1900;
    int64_t secs = d.nanos / kNanosPerSecond;
    int64_t ticks = secs * kTicksPerSecond +
                    ((d.nanos % kNanosPerSecond) * kTicksPerSecond + kNanosPerSecond / 2) / kNanosPerSecond;
    if (ticks >= 86400 * kTicksPerSecond) {
        ticks -= 86400 * kTicksPerSecond;
        ++days;
    }
    w.u32(static_cast<uint32_t>(static_cast<int32_t>(days)));
    w.u32(static_cast<uint32_t>(ticks));
}

void tds_put_smalldatetime(tds_writer& w, const tds_datetime& d)
{
    int64_t days = days_from_civil(d.year, d.month, d.day) - kDay1900;
    w.u16(static_cast<uint16_t>(days));
    w.u16(static_cast<uint16_t>(d.nanos / kNanosPerSecond / 60));
}

std::string tds_read_date(tds_reader& r)
{
    int64_t days = static_cast<int64_t>(get_le(r, 3));
    return date_text(days + kDay1);
}

std::string tds_read_time(tds_reader& r, int scale, size_t bytes)
{
    return time_text(nanos_from_units(r, scale, bytes), scale);
}

std::string tds_read_datetime2(tds_reader& r, int scale, size_t bytes)
{
    if (bytes < 3) throw tds_protocol_error("datetime2 length");
    std::string t = tds_read_time(r, scale, bytes - 3);
    return tds_read_date(r) + " " + t;
}

std::string tds_read_datetimeoffset(tds_reader& r, int scale, size_t bytes)
{
    if (bytes < 5) throw tds_protocol_error("datetimeoffset length");
    int64_t nanos = nanos_from_units(r, scale, bytes - 5);
    int64_t days = static_cast<int64_t>(get_le(r, 3)) + kDay1;
    int offset = static_cast<int16_t>(r.u16());
    if (offset < -840 || offset > 840) throw tds_protocol_error("offset out of range");
    int64_t ldays = days;
    int64_t local = nanos + static_cast<int64_t>(offset) * 60 * kNanosPerSecond;
    if (local < 0) {
        local += kNanosPerDay;
        --ldays;
    }
    if (local >= kNanosPerDay) {
        local -= kNanosPerDay;
        ++ldays;
    }
    char b[16];
    int a = offset < 0 ? -offset : offset;
    std::snprintf(b, sizeof b, " %c%02d:%02d", offset < 0 ? '-' : '+', a / 60, a % 60);
    return date_text(ldays) + " " + time_text(local, scale) + b;
}

std::string tds_read_datetime(tds_reader& r)
{
    int64_t days = static_cast<int32_t>(r.u32());
    int64_t ticks = r.u32();
    if (ticks >= 86400 * kTicksPerSecond || days < -53690 || days > 2958463)
        throw tds_protocol_error("datetime out of range");
    int64_t ms = (ticks * 1000 * 10 / kTicksPerSecond + 5) / 10; // rounded to the millisecond
    int64_t nanos = ms * 1000000;
    return date_text(days + kDay1900) + " " + time_text(nanos, 3);
}

std::string tds_read_smalldatetime(tds_reader& r)
{
    int64_t days = r.u16();
    int64_t minutes = r.u16();
    if (minutes >= 1440) throw tds_protocol_error("smalldatetime out of range");
    return date_text(days + kDay1900) + " " + time_text(minutes * 60 * kNanosPerSecond, 0);
}
