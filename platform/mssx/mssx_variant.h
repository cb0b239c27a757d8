// sql_variant values of the embedded SQL Server: a value kept with its base
// type, as SQL Server keeps it.
#pragma once
#include <optional>
#include <string>
#include "platform/mssx/mssx_value.h"

// A sql_variant value read back: its base type and its value as a column of
// that type stores it.
struct mssx_variant {
    mssx_type base;
    mssx_value value;
};

// Whether a type may be the base type of a sql_variant (no max, LOB, xml,
// rowversion or sql_variant types).
bool mssx_variant_base_allowed(const mssx_type& t);

// The stored form of v held by a sql_variant with base type `base`: the value
// converted to the base type first. Raises SQL Server's conversion errors and
// 206 for a base type a sql_variant cannot hold.
mssx_value mssx_variant_store(const mssx_type& base, const mssx_value& v, const std::string& dateformat);

// Whether a stored value carries its base type.
bool mssx_variant_tagged(const mssx_value& stored);

// A stored sql_variant value with its base type. A value stored without one
// (written before base types were kept, or given without a type) takes the
// type its value implies: int or bigint, float, nvarchar(n), varbinary(n).
// nullopt for NULL.
std::optional<mssx_variant> mssx_variant_read(const mssx_value& stored);

// The type a plain value implies when a sql_variant holds it.
mssx_type mssx_variant_implied_type(const mssx_value& v);

// SQL_VARIANT_PROPERTY(value, property): BaseType, Precision, Scale,
// TotalBytes, Collation, MaxLength; NULL for an unknown property or NULL.
mssx_value mssx_variant_property(const mssx_value& stored, const std::string& property);

// The text of a stored sql_variant value: its base value's own text, a float
// or real in the fewest digits that read back as the same number.
std::string mssx_variant_text(const mssx_value& stored);
