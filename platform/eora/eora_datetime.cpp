#include "platform/eora/eora_datetime.h"

#include "platform/embedded/embedded_clock.h"
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_lexer.h"

#include <cctype>
#include <optional>

namespace eora {

namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int days_in(int y, int m)
{
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}

const char* month_names[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                             "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

bool punct(char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '\0'; }

} // namespace

std::string datetime::text(int frac_digits) const
{
    std::string out;
    out.reserve(30);
    auto put = [&](int64_t v, int width) {
        if (v < 0) {
            out += '-';
            v = -v;
        }
        char buf[24];
        int n = 0;
        do {
            buf[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        for (int i = n; i < width; ++i) out += '0';
        while (n) out += buf[--n];
    };
    put(year, 4);
    out += '-';
    put(month, 2);
    out += '-';
    put(day, 2);
    out += ' ';
    put(hour, 2);
    out += ':';
    put(minute, 2);
    out += ':';
    put(second, 2);
    if (frac_digits > 0) {
        std::string f;
        int64_t v = nanos;
        for (int i = 0; i < 9; ++i) {
            f.insert(f.begin(), static_cast<char>('0' + v % 10));
            v /= 10;
        }
        out += '.';
        out += f.substr(0, static_cast<size_t>(frac_digits > 9 ? 9 : frac_digits));
    }
    if (has_zone) {
        const int z = zone_minutes < 0 ? -zone_minutes : zone_minutes;
        out += zone_minutes < 0 ? " -" : " +";
        put(z / 60, 2);
        out += ':';
        put(z % 60, 2);
    }
    return out;
}

void datetime::round_fraction(int frac_digits)
{
    if (frac_digits >= 9) return;
    int64_t unit = 1;
    for (int i = frac_digits; i < 9; ++i) unit *= 10;
    int64_t r = (nanos + unit / 2) / unit * unit;
    if (r < 1000000000) {
        nanos = r;
        return;
    }
    nanos = 0;
    // Carry one second through the calendar.
    if (++second < 60) return;
    second = 0;
    if (++minute < 60) return;
    minute = 0;
    if (++hour < 24) return;
    hour = 0;
    if (++day <= days_in(year, month)) return;
    day = 1;
    if (++month <= 12) return;
    month = 1;
    ++year;
}

datetime parse_datetime(std::string_view s, std::string_view fmt_in)
{
    std::string fmt = upper(fmt_in);
    // The year and month a picture lacks are today's: the clock is read only then.
    std::optional<embedded::clock_reading> now;
    auto today = [&]() -> const embedded::clock_reading& {
        if (!now) now = embedded::local_now();
        return *now;
    };
    bool has_year = false, has_month = false;
    datetime d;
    d.day = 1;
    bool pm = false, has_ampm = false;
    int hour12 = -1;
    bool zone = false;
    int zone_sign = 1, zone_hours = 0, zone_mins = 0;
    size_t i = 0, f = 0;
    auto skip_spaces = [&] {
        while (i < s.size() && s[i] == ' ') ++i;
    };
    auto read_num = [&](int maxd, int64_t& v, int* ndig = nullptr) {
        skip_spaces();
        bool neg = false;
        if (i < s.size() && (s[i] == '-' || s[i] == '+') && maxd == 4) neg = s[i++] == '-';
        size_t b = i;
        v = 0;
        while (i < s.size() && i - b < static_cast<size_t>(maxd) && std::isdigit(static_cast<unsigned char>(s[i])))
            v = v * 10 + (s[i++] - '0');
        if (i == b) raise(1858);
        if (ndig) *ndig = static_cast<int>(i - b);
        if (neg) v = -v;
    };
    auto starts = [&](const char* k) {
        return fmt[f] == k[0] && fmt.compare(f, std::char_traits<char>::length(k), k) == 0;
    };
    while (f < fmt.size()) {
        if (i >= s.size()) break; // the rest of the picture takes its defaults
        int64_t v = 0;
        if (starts("YYYY") || starts("RRRR") || starts("SYYYY")) {
            f += starts("SYYYY") ? 5 : 4;
            read_num(4, v);
            if (v == 0 || v < -4713 || v > 9999) raise(1841);
            d.year = static_cast<int>(v);
            has_year = true;
        } else if (starts("YY") || starts("RR")) {
            bool rr = starts("RR");
            f += 2;
            int nd = 0;
            read_num(4, v, &nd);
            if (nd <= 2) {
                int cur = has_year ? d.year : today().year;
                if (rr) {
                    int c = cur / 100 * 100;
                    v += c;
                    if (cur % 100 < 50 && v % 100 >= 50)
                        v -= 100;
                    else if (cur % 100 >= 50 && v % 100 < 50)
                        v += 100;
                } else {
                    v += cur / 100 * 100;
                }
            }
            d.year = static_cast<int>(v);
            has_year = true;
        } else if (starts("MONTH") || starts("MON")) {
            f += starts("MONTH") ? 5 : 3;
            skip_spaces();
            size_t b = i;
            while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) ++i;
            // Digits where a month name belongs: the text is not in this picture at all.
            if (i == b) raise(1861);
            std::string w = upper(s.substr(b, i - b));
            int m = 0;
            for (int k = 0; k < 12 && w.size() >= 3; ++k) {
                std::string full = month_names[k];
                if (w == full || w == full.substr(0, 3)) m = k + 1;
            }
            if (!m) raise(1843);
            d.month = m;
            has_month = true;
        } else if (starts("MM")) {
            f += 2;
            read_num(2, v);
            if (v < 1 || v > 12) raise(1843);
            d.month = static_cast<int>(v);
            has_month = true;
        } else if (starts("MI")) {
            f += 2;
            read_num(2, v);
            if (v > 59) raise(1851);
            d.minute = static_cast<int>(v);
        } else if (starts("DD")) {
            f += 2;
            read_num(2, v);
            if (v < 1 || v > 31) raise(1847);
            d.day = static_cast<int>(v);
        } else if (starts("HH24")) {
            f += 4;
            read_num(2, v);
            if (v > 23) raise(1850);
            d.hour = static_cast<int>(v);
        } else if (starts("HH12") || starts("HH")) {
            f += starts("HH12") ? 4 : 2;
            read_num(2, v);
            if (v < 1 || v > 12) raise(1850);
            hour12 = static_cast<int>(v);
        } else if (starts("SS")) {
            f += 2;
            read_num(2, v);
            if (v > 59) raise(1852);
            d.second = static_cast<int>(v);
        } else if (starts("FF")) {
            f += 2;
            int maxd = 9;
            if (f < fmt.size() && fmt[f] >= '1' && fmt[f] <= '9') maxd = fmt[f++] - '0';
            int nd = 0;
            read_num(maxd, v, &nd);
            for (int k = nd; k < 9; ++k) v *= 10;
            d.nanos = v;
        } else if (starts("TZH")) {
            f += 3;
            skip_spaces();
            if (i < s.size() && (s[i] == '-' || s[i] == '+')) zone_sign = s[i++] == '-' ? -1 : 1;
            read_num(2, v);
            if (v > 15) raise(1874);
            zone = true;
            zone_hours = static_cast<int>(v);
        } else if (starts("TZM")) {
            f += 3;
            read_num(2, v);
            if (v > 59) raise(1875);
            zone = true;
            zone_mins = static_cast<int>(v);
        } else if (starts("AM") || starts("PM") || starts("A.M.") || starts("P.M.")) {
            f += starts("A.M.") || starts("P.M.") ? 4 : 2;
            skip_spaces();
            std::string w = upper(s.substr(i, 2));
            if (w != "AM" && w != "PM") raise(1861);
            pm = w == "PM";
            has_ampm = true;
            i += 2;
            if (i < s.size() && s[i] == '.') i += 2;
        } else if (fmt[f] == 'X') {
            // The radix character before the fraction.
            ++f;
            if (i >= s.size() || s[i] != '.') raise(1861);
            ++i;
        } else if (fmt[f] == '"') {
            size_t e = fmt.find('"', f + 1);
            if (e == std::string::npos) raise(1821);
            std::string lit = std::string(fmt_in.substr(f + 1, e - f - 1));
            if (s.substr(i, lit.size()) != lit) raise(1861);
            i += lit.size();
            f = e + 1;
        } else if (punct(fmt[f]) || fmt[f] == ' ') {
            // Punctuation matches any punctuation loosely, or none at all.
            ++f;
            if (i < s.size() && (punct(s[i]) || s[i] == ' ')) ++i;
        } else {
            raise(1821);
        }
    }
    while (f < fmt.size() && (fmt[f] == ' ')) ++f;
    if (i < s.size()) {
        while (i < s.size() && s[i] == ' ') ++i;
        if (i < s.size()) raise(1830);
    }
    if (!has_year) d.year = today().year;
    if (!has_month) d.month = today().month;
    if (hour12 >= 0) d.hour = (hour12 % 12) + (has_ampm && pm ? 12 : 0);
    if (zone) {
        d.has_zone = true;
        d.zone_minutes = zone_sign * (zone_hours * 60 + zone_mins);
    }
    if (d.day > days_in(d.year, d.month)) raise(1847);
    return d;
}

std::optional<datetime> parse_stored_datetime(std::string_view s)
{
    datetime d;
    size_t i = 0;
    auto num = [&](int& out, char sep) {
        bool neg = i < s.size() && s[i] == '-';
        if (neg) ++i;
        size_t b = i;
        int v = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - b < 9) v = v * 10 + (s[i++] - '0');
        if (i == b) return false;
        out = neg ? -v : v;
        if (sep) {
            if (i >= s.size() || s[i] != sep) return false;
            ++i;
        }
        return true;
    };
    if (!num(d.year, '-') || !num(d.month, '-') || !num(d.day, ' ') || !num(d.hour, ':') || !num(d.minute, ':') ||
        !num(d.second, 0))
        return std::nullopt;
    if (i < s.size() && s[i] == '.') {
        int64_t v = 0;
        int nd = 0;
        for (++i; i < s.size() && nd < 9 && s[i] >= '0' && s[i] <= '9'; ++i, ++nd) v = v * 10 + (s[i] - '0');
        for (; nd < 9; ++nd) v *= 10;
        d.nanos = v;
    }
    if (i + 6 <= s.size() && s[i] == ' ' && (s[i + 1] == '+' || s[i + 1] == '-')) {
        const bool neg = s[i + 1] == '-';
        i += 2;
        int hours = 0, minutes = 0;
        if (!num(hours, ':') || !num(minutes, 0)) return std::nullopt;
        d.has_zone = true;
        d.zone_minutes = (neg ? -1 : 1) * (hours * 60 + minutes);
    }
    return d;
}

} // namespace eora
