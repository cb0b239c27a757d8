// The foreign keys of a database.
#pragma once
#include <string>
#include <vector>

#include "UDB/udb_relationship.h"

class udb_relationships : public std::vector<udb_relationship> {
public:
    // The first key of that name; a missing one is an internal error
    // (callers test with is_acceptable_name first).
    udb_relationship& get_index(const std::wstring& name);
    bool is_acceptable_name(const std::wstring& name) const;
};
