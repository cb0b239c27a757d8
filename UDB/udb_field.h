// One value of a row, with the name and declared size of its column.
#pragma once
#include <cstdint>
#include <string>

#include "OLE/ole_variant.h"

class udb_field : public ole_variant {
public:
    int32_t size = 0;
    std::wstring name;

    udb_field();
    // The two flags are accepted for the callers' sake and carry no meaning.
    udb_field(const std::wstring& name, int32_t size, const ole_variant& value, bool = false, bool = false);
    udb_field(const udb_field& other);
    udb_field& operator=(const udb_field& other);
    ~udb_field() override;

    virtual VARTYPE get_type() const;
};
