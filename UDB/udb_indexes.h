// The index list of a table, in the order the indexes were added.
#pragma once
#include <string>
#include <vector>

#include "UDB/udb_index.h"

class udb_indexes : public std::vector<udb_index> {
public:
    // The first index of that name; a missing one is an internal error
    // (callers test with find2 first).
    udb_index& get_index(const std::wstring& name);
    const udb_index& get_index(const std::wstring& name) const;
    bool find2(const std::wstring& name) const;
    bool is_acceptable_name(const std::wstring& name) const;
    bool is_idx_field(const std::wstring& field, bool primary_only) const;
    // Adds the index, or merges it into an index of the same name.
    void push_back(const udb_index& index);
};
