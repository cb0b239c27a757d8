// The type-mapping mutators of the Oracle target, with the driver's own
// default choices for integer and decimal columns.
#pragma once
#include "UDB/ora_field.h"
#include "tarvex/ora_native_type.h"
#include "tarvex/udb_db_mutator.h"
#include "tarvex/udb_field_mutator.h"
#include "tarvex/udb_table_mutator.h"

class ora_field_mutator : public udb_field_mutator<ora_field, ora_native_type> {
public:
    using udb_field_mutator::udb_field_mutator;
};

class ora_table_mutator : public udb_table_mutator<ora_field_mutator> {
public:
    using udb_table_mutator::udb_table_mutator;
};

class ora_db_mutator : public udb_db_mutator<ora_table_mutator> {
public:
    // The files of type names the mapping dialog offers.
    static constexpr const char* ora_map = "ora.map";
    static constexpr const char* ora_typ = "ora.typ";

    ora_db_mutator();

    const char* mapped_types_file() const override { return ora_map; }
    const char* type_attributes_file() const override { return ora_typ; }

    // The default target type of a source column; sets its native_type text.
    void get_native_type_info(t_ftd& f, ora_native_type& nt) override;
};
