// The ordered columns of one table or query.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "UDB/t_ftd.h"

class udb_schema {
public:
    // Descriptors may be shared between schemas (the type-mapping mutators
    // hand their own descriptors to a source schema); shared ownership keeps
    // every one alive exactly as long as some schema refers to it.
    std::vector<std::shared_ptr<t_ftd>> fields;
    bool flag;             // carried along by copies, read by nothing
    int32_t seed = 1;      // identity seed as the source reports it
    int32_t increment = 1; // identity increment

    explicit udb_schema(bool flag = true);
    udb_schema(const udb_schema&) = default;
    udb_schema(udb_schema&&) = default;
    udb_schema& operator=(const udb_schema&) = default;
    udb_schema& operator=(udb_schema&&) = default;
    virtual ~udb_schema();

    std::size_t size() const { return fields.size(); }
    bool empty() const { return fields.empty(); }
    // Column at a position; a position outside the schema throws std::out_of_range.
    t_ftd& at(std::size_t i) { return *fields.at(i); }
    const t_ftd& at(std::size_t i) const { return *fields.at(i); }
    t_ftd& operator[](std::size_t i) { return *fields[i]; }
    const t_ftd& operator[](std::size_t i) const { return *fields[i]; }
    void push_back(std::shared_ptr<t_ftd> field) { fields.push_back(std::move(field)); }
    void push_back(const t_ftd& field) { fields.push_back(std::make_shared<t_ftd>(field)); }

    bool find_field(const std::wstring& name) const;
    int32_t get_field_idx(const std::wstring& name) const;
    uint32_t get_field_size(const std::wstring& name) const; // 0xFFFFFFFF when missing
    VARTYPE get_field_type(const std::wstring& name) const;  // VT_NULL when missing
    // The schema's own descriptor, or on a miss an empty descriptor owned by
    // the schema and emptied again at every miss (the const forms answer a
    // shared empty descriptor that nobody can change).
    t_ftd& get_field1(const std::wstring& name);
    t_ftd& get_field2(const std::wstring& name);
    const t_ftd& get_field1(const std::wstring& name) const;
    const t_ftd& get_field2(const std::wstring& name) const;
    void set_field_comment(const std::wstring& name, const std::wstring& comment);
    // Column-by-column conformance by position (this = source).
    bool conform_to(const udb_schema& dest) const;

private:
    t_ftd* lookup(const std::wstring& name) const;
    t_ftd& missing(const std::wstring& name);
    static const t_ftd& missing_const(const std::wstring& name);
    t_ftd empty_;
};
