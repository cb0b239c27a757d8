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

date_picture::date_picture(std::string_view fmt_in)
{
    const std::string fmt = upper(fmt_in);
    size_t f = 0;
    auto starts = [&](const char* k) {
        return fmt[f] == k[0] && fmt.compare(f, std::char_traits<char>::length(k), k) == 0;
    };
    auto add = [&](elem k, size_t width, int digits = 0) {
        parts.push_back({k, digits, {}});
        f += width;
    };
    while (f < fmt.size()) {
        if (starts("SYYYY"))
            add(elem::year, 5);
        else if (starts("YYYY") || starts("RRRR"))
            add(elem::year, 4);
        else if (starts("RR"))
            add(elem::round_year, 2);
        else if (starts("YY"))
            add(elem::short_year, 2);
        else if (starts("MONTH"))
            add(elem::month_name, 5);
        else if (starts("MON"))
            add(elem::month_name, 3);
        else if (starts("MM"))
            add(elem::month, 2);
        else if (starts("MI"))
            add(elem::minute, 2);
        else if (starts("DD"))
            add(elem::day, 2);
        else if (starts("HH24"))
            add(elem::hour24, 4);
        else if (starts("HH12"))
            add(elem::hour12, 4);
        else if (starts("HH"))
            add(elem::hour12, 2);
        else if (starts("SS"))
            add(elem::second, 2);
        else if (starts("FF")) {
            int maxd = 9;
            if (f + 2 < fmt.size() && fmt[f + 2] >= '1' && fmt[f + 2] <= '9') {
                maxd = fmt[f + 2] - '0';
                ++f;
            }
            add(elem::fraction, 2, maxd);
        } else if (starts("TZH"))
            add(elem::zone_hour, 3);
        else if (starts("TZM"))
            add(elem::zone_minute, 3);
        else if (starts("A.M.") || starts("P.M."))
            add(elem::meridian, 4);
        else if (starts("AM") || starts("PM"))
            add(elem::meridian, 2);
        else if (fmt[f] == 'X')
            add(elem::radix, 1);
        else if (fmt[f] == '"') {
            size_t e = fmt.find('"', f + 1);
            if (e == std::string::npos) break;
            parts.push_back({elem::quoted, 0, std::string(fmt_in.substr(f + 1, e - f - 1))});
            f = e + 1;
        } else if (punct(fmt[f]) || fmt[f] == ' ')
            add(elem::punct, 1);
        else
            break;
    }
    // What the picture could not read fails a value that reaches it, and only such a value.
    if (f < fmt.size()) parts.push_back({elem::bad, 0, {}});
}

datetime parse_datetime(std::string_view s, std::string_view fmt) { return parse_datetime(s, date_picture(fmt)); }

datetime parse_datetime(std::string_view s, const date_picture& pic)
{
    using elem = date_picture::elem;
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
    size_t i = 0;
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
    for (const auto& part : pic.parts) {
        if (i >= s.size()) break; // the rest of the picture takes its defaults
        int64_t v = 0;
        switch (part.kind) {
        case elem::year:
            read_num(4, v);
            if (v == 0 || v < -4713 || v > 9999) raise(1841);
            d.year = static_cast<int>(v);
            has_year = true;
            break;
        case elem::round_year:
        case elem::short_year: {
            int nd = 0;
            read_num(4, v, &nd);
            if (nd <= 2) {
                int cur = has_year ? d.year : today().year;
                if (part.kind == elem::round_year) {
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
            break;
        }
        case elem::month_name: {
            skip_spaces();
            size_t b = i;
            while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) ++i;
            // Digits where a month name belongs: the text is not in this picture at all.
            if (i == b) raise(1861);
            std::string w = upper(s.substr(b, i - b));
            int m = 0;
            for (int k = 0; k < 12 && w.size() >= 3; ++k) {
                std::string_view full = month_names[k];
                if (w == full || w == full.substr(0, 3)) m = k + 1;
            }
            if (!m) raise(1843);
            d.month = m;
            has_month = true;
            break;
        }
        case elem::month:
            read_num(2, v);
            if (v < 1 || v > 12) raise(1843);
            d.month = static_cast<int>(v);
            has_month = true;
            break;
        case elem::minute:
            read_num(2, v);
            if (v > 59) raise(1851);
            d.minute = static_cast<int>(v);
            break;
        case elem::day:
            read_num(2, v);
            if (v < 1 || v > 31) raise(1847);
            d.day = static_cast<int>(v);
            break;
        case elem::hour24:
            read_num(2, v);
            if (v > 23) raise(1850);
            d.hour = static_cast<int>(v);
            break;
        case elem::hour12:
            read_num(2, v);
            if (v < 1 || v > 12) raise(1850);
            hour12 = static_cast<int>(v);
            break;
        case elem::second:
            read_num(2, v);
            if (v > 59) raise(1852);
            d.second = static_cast<int>(v);
            break;
        case elem::fraction: {
            int nd = 0;
            read_num(part.digits, v, &nd);
            for (int k = nd; k < 9; ++k) v *= 10;
            d.nanos = v;
            break;
        }
        case elem::zone_hour:
            skip_spaces();
            if (i < s.size() && (s[i] == '-' || s[i] == '+')) zone_sign = s[i++] == '-' ? -1 : 1;
            read_num(2, v);
            if (v > 15) raise(1874);
            zone = true;
            zone_hours = static_cast<int>(v);
            break;
        case elem::zone_minute:
            read_num(2, v);
            if (v > 59) raise(1875);
            zone = true;
            zone_mins = static_cast<int>(v);
            break;
        case elem::meridian: {
            skip_spaces();
            std::string w = upper(s.substr(i, 2));
            if (w != "AM" && w != "PM") raise(1861);
            pm = w == "PM";
            has_ampm = true;
            i += 2;
            if (i < s.size() && s[i] == '.') i += 2;
            break;
        }
        case elem::radix:
            // The radix character before the fraction.
            if (i >= s.size() || s[i] != '.') raise(1861);
            ++i;
            break;
        case elem::quoted:
            if (s.substr(i, part.text.size()) != part.text) raise(1861);
            i += part.text.size();
            break;
        case elem::punct:
            // Punctuation matches any punctuation loosely, or none at all.
            if (i < s.size() && (punct(s[i]) || s[i] == ' ')) ++i;
            break;
        case elem::bad:
            raise(1821);
        }
    }
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
