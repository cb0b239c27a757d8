// Days of the proleptic Gregorian calendar counted from 1970-01-01, and back:
// the one calendar arithmetic of both embedded servers.
#pragma once
#include <cstdint>

namespace embedded {

// The day number of year y, month m (1 to 12), day d.
int64_t days_from_civil(int64_t y, int m, int d);
// The date of day number z.
void civil_from_days(int64_t z, int& y, int& m, int& d);

} // namespace embedded
