#include "platform/embedded/embedded_clock.h"

#include <chrono>
#include <ctime>

namespace embedded {

clock_reading local_now()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&secs, &tm);
    clock_reading r;
    r.year = tm.tm_year + 1900;
    r.month = tm.tm_mon + 1;
    r.day = tm.tm_mday;
    r.hour = tm.tm_hour;
    r.minute = tm.tm_min;
    r.second = tm.tm_sec;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count() % 1000000000;
    r.nanosecond = ns < 0 ? ns + 1000000000 : ns;
    return r;
}

std::string clock_text(const clock_reading& r, int fraction_digits)
{
    std::string out;
    auto put = [&out](int64_t v, int width) {
        std::string d = std::to_string(v);
        if (static_cast<int>(d.size()) < width) out.append(static_cast<size_t>(width) - d.size(), '0');
        out += d;
    };
    put(r.year, 4);
    out += '-';
    put(r.month, 2);
    out += '-';
    put(r.day, 2);
    out += ' ';
    put(r.hour, 2);
    out += ':';
    put(r.minute, 2);
    out += ':';
    put(r.second, 2);
    if (fraction_digits > 0) {
        const int digits = fraction_digits > 9 ? 9 : fraction_digits;
        int64_t v = r.nanosecond;
        for (int i = digits; i < 9; ++i) v /= 10;
        out += '.';
        put(v, digits);
    }
    return out;
}

} // namespace embedded
