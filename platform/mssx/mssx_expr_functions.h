// The SQL functions that translated T-SQL expressions call inside SQLite:
// T-SQL LIKE, CAST/CONVERT with SQL Server's cutting, rounding and date
// styles, exact SUM/AVG over decimals, and exact arithmetic and comparison
// of decimal and money values (mssx_exact, mssx_exact_cmp).
#pragma once
#include <sqlite3.h>
#include <optional>
#include <string>
#include <string_view>
#include "platform/mssx/mssx_value.h"

// Collations of text columns and values: trailing blanks do not count in
// comparisons (ANSI padding), with or without regard to case.
constexpr const char* kMssxPaddedCi = "mssx_ci";
constexpr const char* kMssxPaddedCs = "mssx_cs";
// -1, 0 or 1 as UTF-8 text a sorts before, with or after b under those rules.
int mssx_padded_compare(std::string_view a, std::string_view b, bool ignore_case);
// " COLLATE ..." for a value of type t under a column collation ("" for
// the database's default); empty for types that are no text.
std::string mssx_collate_clause(const mssx_type& t, const std::string& collation);

// Registers the collations, like(), mssx_cast(), the exact arithmetic and the exact aggregates on a database handle.
void mssx_register_expression_functions(sqlite3* db);

// Name of the exact SUM (or AVG) aggregate that keeps `scale` digits.
std::string mssx_exact_sum_name(int scale);
std::string mssx_exact_avg_name(int scale);
// Name of the exact MIN (or MAX) aggregate over values of `scale` digits.
std::string mssx_exact_extreme_name(bool max, int scale);

// T-SQL LIKE without regard to case: % _ [set] [^set] [a-z], and an escape character.
bool mssx_like(const std::string& value, const std::string& pattern, std::optional<char32_t> escape);

// A date/time value (as the server keeps it) as text in a CONVERT style
// (0, 100, 101, 103, 112, 120, 121, 126); nullopt for a style it does not know.
std::optional<std::string> mssx_format_datetime(const std::string& stored, int style);

// CAST/CONVERT of a value to a type: text is cut to the length, exact numbers
// are rounded to the scale, NaN and infinities are refused. `from` is the
// source's type when known (decides date styles and decimal text), `style`
// the CONVERT style or -1.
mssx_value mssx_cast_value(const mssx_value& v, const mssx_type& to, int style, const std::optional<mssx_type>& from,
                           const std::string& dateformat);
