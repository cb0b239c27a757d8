#include "platform/eora/eora_types.h"

namespace eora {

std::string col_type::dict_name() const
{
    switch (k) {
    case kind::varchar2:
        return "VARCHAR2";
    case kind::nvarchar2:
        return "NVARCHAR2";
    case kind::char_:
        return "CHAR";
    case kind::nchar:
        return "NCHAR";
    case kind::number:
        return "NUMBER";
    case kind::float_:
        return "FLOAT";
    case kind::binary_float:
        return "BINARY_FLOAT";
    case kind::binary_double:
        return "BINARY_DOUBLE";
    case kind::date:
        return "DATE";
    case kind::timestamp:
        return "TIMESTAMP(" + std::to_string(scale) + ")";
    case kind::timestamp_tz:
        return "TIMESTAMP(" + std::to_string(scale) + ") WITH TIME ZONE";
    case kind::timestamp_ltz:
        return "TIMESTAMP(" + std::to_string(scale) + ") WITH LOCAL TIME ZONE";
    case kind::interval_ym:
        return "INTERVAL YEAR(" + std::to_string(precision) + ") TO MONTH";
    case kind::interval_ds:
        return "INTERVAL DAY(" + std::to_string(precision) + ") TO SECOND(" + std::to_string(scale) + ")";
    case kind::raw:
        return "RAW";
    case kind::long_:
        return "LONG";
    case kind::long_raw:
        return "LONG RAW";
    case kind::clob:
        return "CLOB";
    case kind::nclob:
        return "NCLOB";
    case kind::blob:
        return "BLOB";
    case kind::bfile:
        return "BFILE";
    case kind::rowid:
        return "ROWID";
    case kind::urowid:
        return "UROWID";
    case kind::xmltype:
        return "XMLTYPE";
    }
    return "UNDEFINED";
}

int col_type::dict_length() const
{
    switch (k) {
    case kind::varchar2:
    case kind::char_:
    case kind::raw:
    case kind::urowid:
        return length;
    case kind::nvarchar2:
    case kind::nchar:
        return length * 2;
    case kind::number:
    case kind::float_:
        return 22;
    case kind::binary_float:
        return 4;
    case kind::binary_double:
        return 8;
    case kind::date:
        return 7;
    case kind::timestamp:
    case kind::timestamp_ltz:
        return 11;
    case kind::timestamp_tz:
        return 13;
    case kind::interval_ym:
        return 5;
    case kind::interval_ds:
        return 11;
    case kind::long_:
    case kind::long_raw:
        return 0;
    case kind::clob:
    case kind::nclob:
    case kind::blob:
        return 4000;
    case kind::bfile:
        return 530;
    case kind::rowid:
        return 10;
    case kind::xmltype:
        return 2000;
    }
    return 0;
}

uint16_t col_type::oci_type() const
{
    switch (k) {
    case kind::varchar2:
    case kind::nvarchar2:
        return 1;
    case kind::char_:
    case kind::nchar:
        return 96;
    case kind::number:
    case kind::float_:
        return 2;
    case kind::binary_float:
        return 100;
    case kind::binary_double:
        return 101;
    case kind::date:
        return 12;
    case kind::timestamp:
        return 187;
    case kind::timestamp_tz:
        return 188;
    case kind::timestamp_ltz:
        return 232;
    case kind::interval_ym:
        return 189;
    case kind::interval_ds:
        return 190;
    case kind::raw:
        return 23;
    case kind::long_:
        return 8;
    case kind::long_raw:
        return 24;
    case kind::clob:
    case kind::nclob:
        return 112;
    case kind::blob:
        return 113;
    case kind::bfile:
        return 114;
    case kind::rowid:
        return 104;
    case kind::urowid:
        return 208;
    case kind::xmltype:
        return 108;
    }
    return 1;
}

uint16_t col_type::oci_size() const
{
    switch (k) {
    case kind::clob:
    case kind::nclob:
    case kind::blob:
    case kind::bfile:
        return 4000;
    default:
        return static_cast<uint16_t>(dict_length());
    }
}

int16_t col_type::oci_precision() const
{
    if (k == kind::number) return has_precision ? static_cast<int16_t>(precision) : 0;
    if (k == kind::float_) return static_cast<int16_t>(precision);
    if (k == kind::interval_ym || k == kind::interval_ds) return static_cast<int16_t>(precision);
    return 0;
}

int8_t col_type::oci_scale() const
{
    if (k == kind::number) return has_precision ? static_cast<int8_t>(scale) : static_cast<int8_t>(-127);
    if (k == kind::float_) return -127;
    if (k == kind::timestamp || k == kind::timestamp_tz || k == kind::timestamp_ltz || k == kind::interval_ds)
        return static_cast<int8_t>(scale);
    return 0;
}

bool col_type::is_text() const
{
    return k == kind::varchar2 || k == kind::nvarchar2 || k == kind::char_ || k == kind::nchar || k == kind::long_ ||
           k == kind::clob || k == kind::nclob || k == kind::rowid || k == kind::urowid || k == kind::interval_ym ||
           k == kind::interval_ds || k == kind::xmltype;
}

bool col_type::is_binary() const
{
    return k == kind::raw || k == kind::long_raw || k == kind::blob || k == kind::bfile;
}

} // namespace eora
