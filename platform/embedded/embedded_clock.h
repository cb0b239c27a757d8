// The local wall clock, read as the embedded servers' date functions give it.
#pragma once
#include <cstdint>
#include <string>

namespace embedded {

struct clock_reading {
    int year = 0, month = 0, day = 0; // month and day from 1
    int hour = 0, minute = 0, second = 0;
    int64_t nanosecond = 0;
};

// The local date and time now.
clock_reading local_now();
// "YYYY-MM-DD HH:MM:SS" with `fraction_digits` (0 to 9) digits of the second
// after a '.', cut rather than rounded so that the text never runs ahead of the clock.
std::string clock_text(const clock_reading& r, int fraction_digits);
inline std::string now_text(int fraction_digits = 0) { return clock_text(local_now(), fraction_digits); }

} // namespace embedded
