// Base of every type-mapping mutator: a bag of named text properties and the
// lookup of its children by source and by target name.
#pragma once
#include <map>
#include <string>

class udb_properties {
public:
    using property_map = std::map<std::wstring, std::wstring>;

    virtual ~udb_properties() = default;
    virtual property_map& get_properties() { return properties; }
    virtual udb_properties* get_child(const std::wstring& source_name) = 0;
    virtual udb_properties* get_child_by_target(const std::wstring& target_name) = 0;

    property_map properties;
};
