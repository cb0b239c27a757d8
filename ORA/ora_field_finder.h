// The column names a record's fields get on the Oracle side, derived as table creation derives them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "UDB/udb_record.h"

class ora_field_finder {
public:
    ora_field_finder(const udb_record& record, bool b_uppercase);

    // Position of the first field whose derived name is exactly `name`, or -1.
    int32_t get_field_idx(const std::wstring& name) const;
    const std::vector<std::wstring>& get_names() const { return names; }

private:
    bool b_uppercase;
    std::vector<std::wstring> names;
};
