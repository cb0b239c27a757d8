// Naming rules of one target scope and generation of safe names.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "UDB/t_names_map.h"
#include "UDB/udb_name_set.h"

class udb_validator {
public:
    uint32_t max_length;                // in the units of length_of; 0 = no limit
    t_names_map mapped_pairs;           // source name -> generated name
    std::vector<wchar_t> illegal_chars; // in test order
    udb_name_set restricted_names;
    udb_name_set taken_names;

    explicit udb_validator(uint32_t max_length);
    virtual ~udb_validator() = default;

    virtual bool is_acceptable(const std::wstring& name) const;
    virtual bool is_duplicated(const std::wstring& name) const;
    // A name that is acceptable and not taken; the caller registers it.
    virtual std::wstring get_safe_name(const std::wstring& name) const;
    // The length the target measures (characters unless a target counts otherwise).
    virtual size_t length_of(const std::wstring& name) const { return name.size(); }
    // The longest head of the name whose length is at most `length`, cut between characters.
    virtual std::wstring cut_to(const std::wstring& name, size_t length) const { return name.substr(0, length); }

    void add_existing_name(const std::wstring& name);
    void add_mapped_pair(const std::wstring& source, const std::wstring& generated);
};
