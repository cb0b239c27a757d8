// DATEADD, DATEDIFF, DATEPART, DATENAME and EOMONTH of the embedded server,
// over the text forms its date and time values are kept in.
#pragma once
#include <sqlite3.h>
#include <optional>
#include <string>
#include "platform/mssx/mssx_value.h"

enum class mssx_date_part {
    year,
    quarter,
    month,
    dayofyear,
    day,
    week,
    weekday,
    hour,
    minute,
    second,
    millisecond,
    microsecond,
    nanosecond,
    tzoffset,
    iso_week
};

// The part a T-SQL name or abbreviation means ("yy", "month", "dw" ...); nullopt for none.
std::optional<mssx_date_part> mssx_date_part_of(const std::string& name);

// The value (a stored date/time or text the server reads as one) plus n
// parts, in the stored form of `result`. Throws 517 on overflow, 9810 for a
// part the type has not.
std::string mssx_dateadd(mssx_date_part part, int64_t n, const std::string& value, const mssx_type& result,
                         const std::string& dateformat);
// Part boundaries crossed from start to end; throws 535 beyond an int (a bigint when big).
int64_t mssx_datediff(mssx_date_part part, const std::string& start, const std::string& end,
                      const std::string& dateformat, bool big);
// The part of a value as a number (weeks start on Sunday, as with DATEFIRST 7).
int64_t mssx_datepart(mssx_date_part part, const std::string& value, const std::string& dateformat);
// The part as text: month and weekday by their English names.
std::string mssx_datename(mssx_date_part part, const std::string& value, const std::string& dateformat);
// The last day of the month n months after the value's, as a date.
std::string mssx_eomonth(const std::string& value, int64_t months, const std::string& dateformat);

// Registers mssx_dateadd(), mssx_datediff(), mssx_datepart(), mssx_datename() and mssx_eomonth().
void mssx_register_date_functions(sqlite3* db);
