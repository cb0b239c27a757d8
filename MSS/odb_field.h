// A field value read from SQL Server.
#pragma once
#include "UDB/udb_field.h"

class odb_field : public udb_field {
public:
    using udb_field::udb_field;
    std::wstring to_wstring() const override;
};
