// Turns a source index list into the primary key and indexes of a new Oracle table.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "UDB/t_ftd.h"
#include "UDB/t_names_map.h"
#include "UDB/udb_indexes.h"
#include "UDB/udb_schema.h"

class ora_exception;

class ora_indexes_initializer {
public:
    ora_indexes_initializer(const std::wstring& table, udb_schema& target_schema, const udb_indexes& source,
                            const t_names_map& column_map);
    ora_indexes_initializer(const ora_indexes_initializer&) = delete;
    ora_indexes_initializer& operator=(const ora_indexes_initializer&) = delete;

    // An index the server refuses for its size goes to `refused` and the others are still built;
    // without a handler that refusal is thrown like any other.
    using refusal_handler = std::function<void(const ora_exception& error)>;
    void build_indexes(const refusal_handler& refused = {});
    static bool can_be_part_of_index(const t_ftd& desc);

    const udb_indexes& get_indexes() const { return indexes; }
    // Console lines: indexes named otherwise than in the source, and those not created.
    const std::vector<std::wstring>& get_notes() const { return notes; }
    int32_t get_pk_pos() const { return pk_pos; }
    // The statement of one index; empty when it is skipped.
    std::wstring make_index_sql(const udb_index& idx) const;

private:
    int32_t pk_pos = -1;
    std::wstring table_name;
    udb_indexes indexes;
    udb_schema* schema;
    const t_names_map* column_map;
    std::vector<std::wstring> notes;
};
