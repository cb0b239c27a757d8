// Reading a value from the text form the provider writes it in (numbers as
// digits, dates as "yyyy-mm-dd hh:mm:ss.fffffff") without the general parsers.
// Only text in exactly that form is read here; any other text is left to the
// general parsers, so a value read either way is the same value.
#pragma once
#include <cstddef>
#include <cstdint>

#include "OLE/ole_variant.h"
#include "platform/oledb/oledb.h"

enum class odb_text_form : uint8_t {
    general,     // left to the general parsers
    text,        // the text itself
    integer,     // [-]digits, of the value type's range
    real,        // [-]digits[.digits][e[+|-]digits]
    currency,    // [-]digits[.digits], at most four places
    decimal,     // [-]digits[.digits], at most 28 digits
    date_time,   // yyyy-mm-dd[ hh:mm:ss[.digits]], up to nine places
    time_of_day, // hh:mm:ss[.digits], up to nine places
    boolean,     // 0 or 1
};

// The form a column's values come in, from its type and the value type it reads as.
odb_text_form odb_text_form_of(DBTYPE type, VARTYPE vt);

// Reads text of that form into out; false (out untouched) when the text is
// not exactly in the form or its value is beyond the plain reading.
bool odb_read_text(odb_text_form form, VARTYPE vt, const wchar_t* text, size_t length, ole_variant& out);
