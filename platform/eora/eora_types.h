// Column types and values of the embedded Oracle.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace eora {

enum class kind {
    varchar2,
    nvarchar2,
    char_,
    nchar,
    number,
    float_,
    binary_float,
    binary_double,
    date,
    timestamp,
    timestamp_tz,
    timestamp_ltz,
    interval_ym,
    interval_ds,
    raw,
    long_,
    long_raw,
    clob,
    nclob,
    blob,
    bfile,
    rowid,
    urowid,
    xmltype
};

struct col_type {
    eora::kind k = kind::varchar2;
    int length = 0;    // characters for N types, bytes otherwise
    int precision = 0; // NUMBER precision, FLOAT binary precision, TIMESTAMP/INTERVAL leading precision
    int scale = 0;     // NUMBER scale, fractional digits of TIMESTAMP/INTERVAL DS
    bool has_precision = false;

    // DATA_TYPE as the dictionary shows it ("NUMBER", "TIMESTAMP(6)", ...).
    std::string dict_name() const;
    int dict_length() const;
    // What describe answers: OCI data type, DATA_SIZE, PRECISION, SCALE.
    uint16_t oci_type() const;
    uint16_t oci_size() const;
    int16_t oci_precision() const;
    int8_t oci_scale() const;

    bool is_text() const;
    bool is_binary() const;
    bool is_lob() const { return k == kind::clob || k == kind::nclob || k == kind::blob || k == kind::bfile; }
    bool is_numeric() const
    {
        return k == kind::number || k == kind::float_ || k == kind::binary_float || k == kind::binary_double;
    }
    bool is_datetime() const
    {
        return k == kind::date || k == kind::timestamp || k == kind::timestamp_tz || k == kind::timestamp_ltz;
    }
    bool is_long() const { return k == kind::long_ || k == kind::long_raw; }
};

// Where a LOB value lives, for writing through a locator.
struct lob_target {
    std::string table; // SQLite table
    std::string column;
    int64_t row = 0;
    bool writable = false; // selected FOR UPDATE
};

struct value {
    enum class vk { null, text, number, datetime, bytes };
    vk kind = vk::null;
    // text: UTF-8; number: Oracle text; datetime: stored form; bytes: raw bytes
    std::string s;
    // Set for LOB columns of a query.
    std::shared_ptr<lob_target> lob;
    // A bound value the client sent as LONG: only a LONG or LOB column takes it.
    bool long_bind = false;

    static value null() { return {}; }
    static value text(std::string t) { return {vk::text, std::move(t), nullptr}; }
    static value number(std::string t) { return {vk::number, std::move(t), nullptr}; }
    static value date(std::string t) { return {vk::datetime, std::move(t), nullptr}; }
    static value bytes(std::string t) { return {vk::bytes, std::move(t), nullptr}; }
    bool is_null() const { return kind == vk::null; }
};

} // namespace eora
