// One row: its fields in the source's column order, owned by the record.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_field.h"

class udb_record {
public:
    // Selects the find_field form that hands back the field itself.
    struct field_ref_t {};
    static constexpr field_ref_t field_ref{};

    std::vector<std::unique_ptr<udb_field>> fields;

    udb_record() = default;
    udb_record(udb_record&&) = default;
    udb_record& operator=(udb_record&&) = default;
    udb_record(const udb_record&) = delete;
    udb_record& operator=(const udb_record&) = delete;
    virtual ~udb_record();

    std::size_t size() const { return fields.size(); }
    bool empty() const { return fields.empty(); }
    udb_field& at(std::size_t i) { return *fields.at(i); }
    const udb_field& at(std::size_t i) const { return *fields.at(i); }
    udb_field& operator[](std::size_t i) { return *fields[i]; }
    const udb_field& operator[](std::size_t i) const { return *fields[i]; }
    void push_back(std::unique_ptr<udb_field> field) { fields.push_back(std::move(field)); }

    bool find_field(const std::wstring& name) const;
    // The first field of that name, or an empty field owned by the record
    // (valid until the next miss).
    udb_field& find_field(const std::wstring& name, field_ref_t);
    void clear();

private:
    std::unique_ptr<udb_field> empty_; // made on the first miss
};
