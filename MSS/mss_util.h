// SQL Server literals for values, SQL Server column type names and the
// clamping of values into SQL Server's ranges: the text side of writing
// into SQL Server.
#pragma once
#include <string>

#include "OLE/ole_variant.h"
#include "UDB/t_ftd.h"
#include "UDB/udb_field.h"

// A text that the server reads as a number: sign, digits, one point, exponent.
bool mss_is_number_literal(const std::wstring& s);

// The literal of a value given as text, by its VARTYPE.
std::wstring to_mssql_str(const std::wstring& text, VARTYPE vt);

// The literal of a field for INSERT or UPDATE into a column of that descriptor.
std::wstring mss_get_fld_append_str(const udb_field* field, const t_ftd* column);

// Whether a DECIMAL value does not fit the column's precision.
bool dec_is_out_of_range(const ole_variant& value, const t_ftd& column);

// Whether the integer part of a decimal text fits precision - scale digits.
bool check_dec_str_prec_scale(const std::wstring& text, int precision, int scale);

// The largest (or, negative, the smallest) value of the column's precision and scale.
std::wstring gen_dec_value(const t_ftd* column, bool negative);

// The value clamped into SQL Server's date and float ranges.
ole_variant mssql_get_safe_variant(const ole_variant& value);

// The SQL Server type name of a column; bTypeOnly leaves out the length.
std::wstring get_mss_native_type1(const t_ftd& column, bool bTypeOnly);
