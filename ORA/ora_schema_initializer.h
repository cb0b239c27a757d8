// Turns a source schema into an Oracle CREATE TABLE, with a sequence and a
// trigger for the identity column. Lives for one create_table call.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_validator.h"
#include "UDB/t_names_map.h"
#include "UDB/udb_indexes.h"
#include "UDB/udb_schema.h"

class ora_database;

class ora_schema_initializer {
public:
    ora_schema_initializer(const std::wstring& table_name, udb_schema& schema, udb_indexes& indexes, bool b_uppercase);
    ora_schema_initializer(const ora_schema_initializer&) = delete;
    ora_schema_initializer& operator=(const ora_schema_initializer&) = delete;

    // CREATE TABLE only; the identity objects come with build_identity.
    void build_table(ora_database& db);
    // The sequence and the trigger of the identity column, when there is one.
    void build_identity(ora_database& db);
    // Both steps.
    void build_schema(ora_database& db);
    // The name of the sequence created, or empty.
    std::wstring create_sequence(ora_database& db);
    // The same for any table, starting at `start`.
    static std::wstring create_sequence(ora_database& db, const std::wstring& table, const std::wstring& start);
    // The name the n-th attempt gives a table's sequence (the first is attempt 0).
    static std::wstring sequence_candidate(const std::wstring& table, int attempt);

    std::wstring get_create_table_sql() const;
    static std::wstring get_trigger_sql(const std::wstring& table, const std::wstring& trigger,
                                        const std::wstring& sequence, const std::wstring& column);
    // Runs a trigger statement; a failure, or a trigger that does not compile, is thrown.
    static void create_trigger(const std::wstring& sql);

    udb_schema& get_target_schema() { return target_schema; }
    const t_names_map& get_names_map() const { return validator.mapped_pairs; }
    const std::wstring& get_identity_column() const { return identity_column; }
    const std::wstring& get_sequence_name() const { return sequence_name; }
    // Console lines: what of the source columns was not carried over.
    const std::vector<std::wstring>& get_notes() const { return notes; }

private:
    std::wstring table_name;
    bool b_uppercase;
    udb_schema target_schema;
    std::wstring identity_column;
    ora_fn_validator validator;
    udb_indexes* p_indexes;
    udb_schema* p_schema;
    std::wstring sequence_name;
    std::vector<std::wstring> notes;
};
