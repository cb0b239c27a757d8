// Descriptor of one column: what the source engine described and what the
// target engine needs to create and fill it.
#pragma once
#include <cstdint>
#include <string>

#include "OLE/ole_variant.h"
#include "platform/oleaut/oleauto.h"
#include "platform/win32/win_types.h"

struct t_ftd {
    // Meanings of dw_reserved, which depend on vartype.
    static constexpr uint32_t hint_date_timestamp = 1;     // VT_DATE: create a TIMESTAMP column
    static constexpr uint32_t hint_date_only = 2;          // VT_DATE: no time of day
    static constexpr uint32_t hint_time_only = 3;          // VT_DATE: no date
    static constexpr uint32_t hint_date_function = 9;      // VT_DATE: default is a date function text
    static constexpr uint32_t hint_bstr_guid = 1;          // VT_BSTR: the source column is a GUID
    static constexpr uint32_t hint_bstr_long = 10;         // VT_BSTR: create a LONG column
    static constexpr uint32_t hint_bstr_xml = 11;          // VT_BSTR: XML text
    static constexpr uint32_t hint_bstr_timestamp_tz = 12; // VT_BSTR: date, time and offset (datetimeoffset)
    static constexpr uint32_t hint_bstr_national = 13;     // VT_BSTR: national text (nchar, nvarchar, ntext)
    // VT_DECIMAL: precision in the second byte, scale in the low byte.
    static constexpr uint32_t decimal_hint(uint8_t precision, uint8_t scale)
    {
        return (static_cast<uint32_t>(precision) << 8) | scale;
    }

    uint32_t size = 0; // characters for text, bytes for binary, characters of the text form for dates; 0 = unknown
    std::wstring name;
    VARTYPE vartype = 0;      // VT_EMPTY
    std::wstring native_type; // the type as the describing engine spells it
    bool b_auto_num = false;  // identity column
    bool b_not_null = false;
    ole_variant default_value;   // empty when there is none
    std::wstring source_default; // the source's default as its catalog gives it, also one not carried over
    uint32_t dw_reserved = 0;    // hint word, see above
    std::wstring comment;

    // The empty descriptor.
    t_ftd() = default;
    t_ftd(uint32_t size, const std::wstring& name, VARTYPE vartype, bool not_null, bool auto_num,
          const ole_variant& default_value, uint32_t hint, const std::wstring& native_type);

    bool is_binary() const;
    bool is_numeric() const;
    uint8_t get_precision() const;
    // Whether values of this (source) column can be written into dest.
    bool conform_to(const t_ftd& dest) const;
};
