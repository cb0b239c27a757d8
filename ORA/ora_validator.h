// Oracle identifier rules: at most 30 bytes, a letter first, letters, digits, _ blank . # after it.
#pragma once
#include <string>
#include <vector>
#include "TK/tk_singleton.h"
#include "UDB/udb_indexes.h"
#include "UDB/udb_validator.h"

class udb_schema;

class ora_validator : public udb_validator {
public:
    static constexpr uint32_t max_name = 30;

    ora_validator();
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;
    // Bytes of the database character set, as Oracle counts an identifier.
    size_t length_of(const std::wstring& name) const override;
    std::wstring cut_to(const std::wstring& name, size_t length) const override;
};

// Column names of one table.
class ora_fn_validator : public ora_validator {
public:
    explicit ora_fn_validator(const udb_schema& fields);
    explicit ora_fn_validator(const std::vector<std::wstring>& field_names);
};

// Table names, possibly owner-qualified.
class ora_tn_validator : public ora_validator {
public:
    ora_tn_validator(const std::vector<std::wstring>& first, const std::vector<std::wstring>& second);
    bool is_acceptable(const std::wstring& name) const override;
    std::wstring get_safe_name(const std::wstring& name) const override;
};

// Index and constraint names of one conversion run; restricted names come from the target's catalog.
class ora_in_validator : public tk_singleton<ora_in_validator>, public ora_validator {
public:
    ora_in_validator();
    ~ora_in_validator() override;
    void load(const udb_indexes& indexes);
    // Names of indexes that were dropped with their table: free for the run again.
    void release(const std::vector<std::wstring>& names);
};
