// One index of a table: its name, kind and columns in key order.
#pragma once
#include <string>
#include <vector>

struct udb_index {
    std::wstring name;
    bool b_unique = false;
    bool b_primary = false;
    std::vector<std::wstring> fields;
    // The source's condition of a filtered index (T-SQL, as the catalog gives it); empty for a whole-table index.
    std::wstring filter;

    udb_index() = default;
    udb_index(const std::wstring& name, bool unique, bool primary, std::vector<std::wstring> fields = {})
        : name(name), b_unique(unique), b_primary(primary), fields(std::move(fields))
    {}

    // The index's leading columns are the given ones, in that order.
    bool starts_with_fields(const std::vector<std::wstring>& names) const;
    // The index has exactly the given columns, in any order.
    bool consists_of_fields(const std::vector<std::wstring>& names) const;
};
