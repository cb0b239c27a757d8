// One target column type as the user chose it: name, default, character set and sizes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win32/win_types.h"

struct ora_native_type {
    std::wstring name;          // without size: NUMBER, VARCHAR2...
    std::wstring default_value; // an Oracle literal text
    std::wstring character_set;
    int32_t length = 0;
    int32_t scale = 0;
    int32_t precision = 0;

    // The sized type text: NUMBER(10,2), VARCHAR2(50)...
    std::wstring to_text() const;

    // A NUMBER without precision or scale: it holds any source number exactly,
    // so such a value needs no conversion on its way.
    bool holds_any_number() const { return name == L"NUMBER" && precision == 0 && scale == 0; }

    // The VARTYPE that holds every value of the type; the hint word is never written.
    static void get_udb_type(const ora_native_type& nt, VARTYPE& vt, uint32_t& hint);
};
