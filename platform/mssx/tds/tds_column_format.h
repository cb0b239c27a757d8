// How a column of the embedded server travels: its TDS type, TYPE_INFO and
// the encoding of its values, chosen once per result column.
#pragma once
#include <cstdint>
#include "platform/mssx/mssx_value.h"
#include "platform/mssx/tds/tds_bytes.h"

enum class tds_kind {
    integer,        // INTN / BITN
    decimal,        // DECIMALN / NUMERICN
    money,          // MONEYN
    floating,       // FLTN
    char8,          // BIGCHAR / BIGVARCHR, code page 1252
    nchar,          // NCHAR / NVARCHAR
    binary,         // BIGBINARY / BIGVARBIN
    text8,          // TEXT
    ntext,          // NTEXT
    image,          // IMAGE
    xml,            // XML (PLP, UTF-16)
    guid,           // GUID
    date,           // DATEN
    time,           // TIMEN
    datetime2,      // DATETIME2N
    datetimeoffset, // DATETIMEOFFSETN
    datetime,       // DATETIMN of 8 bytes
    smalldatetime,  // DATETIMN of 4 bytes
    variant,        // SSVARIANT: each value with its base type
};

struct tds_column_format {
    tds_kind kind = tds_kind::nchar;
    uint8_t type = 0;
    uint32_t length = 0; // the TYPE_INFO length (bytes); 0xFFFF for a PLP type
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool plp = false;
    bool fixed = false;   // a fixed-length type (INT4, FLT8, ...): no length before its values
    uint32_t version = 0; // of SSVARIANT: the client's TDS version, which shapes each base value
};

// The format of a column type for a client of the given TDS version (as in
// LOGINACK): clients before 7.3 get the date and time types as nvarchar,
// clients before 7.2 get the max types as the legacy LOB types.
tds_column_format tds_format_of(const mssx_type& t, uint32_t tds_version);

// The fixed-length type a server sends for a NOT NULL column of this format
// (INT1/2/4/8, BIT, MONEY/MONEY4, FLT4/8, DATETIME/DATETIM4); other formats as they are.
tds_column_format tds_not_null_format(const tds_column_format& f);

// TYPE_INFO of a format (with collation for the character types; the table
// name of the legacy LOB types in the form of the client's TDS version).
void tds_write_type_info(tds_writer& w, const tds_column_format& f, uint32_t tds_version);
// The collation the server announces and gives its character columns.
void tds_write_collation(tds_writer& w);

// One value (TYPE_VARBYTE) of a column of type t; a NULL as the type's NULL.
void tds_write_value(tds_writer& w, const tds_column_format& f, const mssx_type& t, const mssx_value& v);

// A stored sql_variant value as SSVARIANT: its length, base type, properties
// and the base value's bytes, as a client of the TDS version reads them.
void tds_write_variant(tds_writer& w, const mssx_value& stored, uint32_t tds_version);
