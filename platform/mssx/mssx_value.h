// Values and column types of the embedded SQL Server.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>
#include "platform/mssx/mssx_code_page.h"

// A stored value: NULL, integer, float, UTF-8 text or bytes. Exact decimals are
// text or, when they have few enough digits to survive a double, float.
struct mssx_blob {
    std::string bytes;
    bool operator==(const mssx_blob&) const = default;
};
using mssx_value = std::variant<std::monostate, int64_t, double, std::string, mssx_blob>;

inline bool mssx_is_null(const mssx_value& v) { return std::holds_alternative<std::monostate>(v); }

// A declared SQL Server column type.
struct mssx_type {
    std::string name;   // lower case base name: "int", "nvarchar", "decimal", ...
    int64_t length = 0; // characters (char types), bytes (binary types); -1 = max
    int precision = 0;
    int scale = 0;
    int code_page = kMssxDefaultCodePage; // of char, varchar and text: its column's collation

    bool is_integer() const;
    bool is_exact_decimal() const; // decimal, numeric, money, smallmoney
    bool is_float() const;
    bool is_char() const;  // char, varchar, text
    bool is_nchar() const; // nchar, nvarchar, ntext, xml
    bool is_string() const { return is_char() || is_nchar(); }
    bool is_binary() const;   // binary, varbinary, image, rowversion, timestamp
    bool is_datetime() const; // any date or time type
    // The type as SQL Server writes it: "nvarchar(40)", "decimal(10,2)", "int".
    std::string sql_text() const;
    // SQLite column type keeping values exact (see the storage rules).
    const char* storage_decl() const;
};

// Bytes a value of a fixed-size type takes (int 4, datetime 8, decimal(p,s)
// 5 to 17 ...); 0 for types of varying size.
int mssx_fixed_size(const mssx_type& t);

// Builds a type from a name and its arguments (already parsed); fills the
// defaults SQL Server applies (varchar → 1, decimal → 18,0, datetime2 → 7 ...).
// Throws mssx_error 2715 for an unknown type name.
mssx_type mssx_make_type(const std::string& name, const std::vector<std::string>& args);

// Converts a value (a literal or a value read back) to what the column stores.
// dateformat is the session's DATEFORMAT ("mdy", "dmy", "ymd", ...).
// Raises SQL Server's conversion, overflow and truncation errors.
mssx_value mssx_convert(const mssx_type& t, const mssx_value& v, const std::string& dateformat);

// The text form of a stored value of type t (what a WSTR binding receives).
std::string mssx_text(const mssx_type& t, const mssx_value& v);
// Which of the text forms a type's values take: decided once for a column
// whose values are written one after another.
enum class mssx_text_rule : uint8_t { plain, exact_decimal, real, guid, datetime, variant };
mssx_text_rule mssx_text_rule_of(const mssx_type& t);
// The same text as mssx_text(t, v), with the type's rule already decided.
std::string mssx_text(const mssx_type& t, mssx_text_rule rule, const mssx_value& v);

// Date/time helpers: parse a literal into the canonical stored text of t.
bool mssx_parse_datetime(const std::string& s, const mssx_type& t, const std::string& dateformat, std::string& out);
// Exact decimal arithmetic on text: normalise "12.5" to scale s; false on overflow of p.
bool mssx_normalize_decimal(const std::string& in, int precision, int scale, std::string& out);
// A new random uniqueidentifier in canonical form.
std::string mssx_new_guid();
