// SQL Server naming rules for generated table, view and column names.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "UDB/t_ftd.h"
#include "UDB/udb_validator.h"

class mss_validator : public udb_validator {
public:
    mss_validator();
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;
};

// Table and view names: the two lists are the names already taken.
class mss_tn_validator : public mss_validator {
public:
    mss_tn_validator(const std::vector<std::wstring>& names1, const std::vector<std::wstring>& names2);
};

// Column names of one table.
class mss_fn_validator : public mss_validator {
public:
    explicit mss_fn_validator(const std::vector<std::shared_ptr<t_ftd>>& columns);
};
