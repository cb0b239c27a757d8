// The field class of the Oracle side; a udb_field in all but name.
#pragma once
#include "UDB/udb_field.h"

class ora_field : public udb_field {
public:
    using udb_field::udb_field;
    ora_field(const udb_field& other) : udb_field(other) {}
};
