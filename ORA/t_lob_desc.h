// One LOB column of a row: where it sits in the table and in the record.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win32/win_types.h"

struct t_lob_desc {
    uint32_t idx = 0;    // column position in the table schema
    uint32_t idx_in = 0; // position of the value in the record
    VARTYPE vt = 0;
    std::wstring name;

    t_lob_desc(uint32_t idx, uint32_t idx_in, VARTYPE vt, const std::wstring& name);
};
