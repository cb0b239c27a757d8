// Oracle type mapping, literal formatting and name helpers.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include "UDB/t_ftd.h"
#include "UDB/udb_field.h"
#include "platform/win32/win_types.h"

constexpr uint32_t ora_text_limit = 2000;

// Fraction digits of a date, time and offset column, from the length of its text.
int ora_timestamp_tz_digits(const t_ftd& ftd);
// Digits of the fraction of a second a date column's values have, from the
// length of their text (its size); -1 when the size does not say.
int ora_fraction_digits(const t_ftd& ftd);
// A column that keeps a time zone offset: made from one (its hint) or read back as one (its type).
bool ora_is_timestamp_tz_column(const t_ftd& column);
// The TO_TIMESTAMP_TZ call that reads a "YYYY-MM-DD hh:mm:ss[.f] +hh:mm" text with its offset.
std::wstring ora_timestamp_tz_literal(const std::wstring& text);

// VT_BSTR or binary (65, 8209) whose size is 0 or above the text limit.
bool ora_is_lob_stored(const t_ftd& ftd);

std::wstring get_ora_native_type(const t_ftd& ftd, bool plain);
// Sized text of a user-chosen type (name, length, scale, precision of the type record).
std::wstring get_ora_native_type1(const std::wstring& name, int32_t length, int32_t scale, int32_t precision);
// The Oracle expression of a new GUID in the text form this program gives GUID values.
// The longest text in characters an NVARCHAR2 of the connected database holds (2000 with AL16UTF16, 1333 with UTF8).
uint32_t ora_national_text_limit();
std::wstring ora_new_guid_expression();
// The Oracle expression of a SQL Server clock default ("getdate()", "sysutcdatetime()",
// "convert(date,getdate())" ...) for a DATE or TIMESTAMP column; empty for another text.
std::wstring ora_clock_expression(const std::wstring& function, bool date_column);
std::wstring make_ora_def_val(const t_ftd* ftd);
std::wstring to_oracle_str(const std::wstring& text, VARTYPE vt, bool quote);
std::wstring to_oracle_str(const udb_field* field, bool quote);
VARTYPE get_ora_vartype(uint16_t oci_code);
VARTYPE get_refined_num_type(uint32_t& precision, uint32_t scale);
uint32_t get_ora_len(const t_ftd& ftd);
uint16_t get_ora_type(const t_ftd& ftd);
std::wstring ora_simplify_name(const std::wstring& name);
std::pair<std::wstring, std::wstring> ora_split_name(const std::wstring& name);
