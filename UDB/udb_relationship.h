// One foreign key.
#pragma once
#include <string>
#include <vector>

struct udb_relationship {
    std::wstring name;
    std::wstring referenced_key; // the parent's key name, when the reader knows it
    std::wstring child_table;
    std::wstring parent_table;
    std::wstring rule; // " ON UPDATE ..." / " ON DELETE ..." clauses
    std::vector<std::wstring> child_fields;
    std::vector<std::wstring> parent_fields; // in the order of child_fields

    udb_relationship() = default;
    udb_relationship(const std::wstring& name, const std::wstring& referenced_key, const std::wstring& child_table,
                     const std::wstring& parent_table, std::vector<std::wstring> child_fields,
                     std::vector<std::wstring> parent_fields, const std::wstring& rule)
        : name(name),
          referenced_key(referenced_key),
          child_table(child_table),
          parent_table(parent_table),
          rule(rule),
          child_fields(std::move(child_fields)),
          parent_fields(std::move(parent_fields))
    {}
};
