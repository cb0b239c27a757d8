// An Oracle table as a recordset: read back from the catalog, appended to row by row.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "OLE/ole_variant.h"
#include "ORA/ora_get_rowid.h"
#include "ORA/ora_lob_insert.h"
#include "ORA/ora_query_results.h"
#include "UDB/udb_relationships.h"

class ora_database;
class ora_cache;

class ora_table : public ora_query_results {
public:
    // Open modes of an existing table.
    static constexpr int mode_no_fks = 0x20;
    static constexpr int mode_no_indexes = 0x20 | 0x40;

    // A table or a query: schema only, no indexes.
    ora_table(ora_database* db, const std::wstring& name, const std::wstring& query, udb_relationships* rels);
    // An existing table by name: schema, then keys and indexes as the mode allows.
    ora_table(ora_database* db, const std::wstring& name, udb_relationships* rels, int mode);
    ~ora_table() override;

    void append_record(udb_record* record) override; // fast_append
    void update(udb_record* record) override;
    bool is_eof() override;
    void next() override;

    void slow_append(const udb_record& record);
    std::wstring get_fld_append_wstr(size_t i, const udb_field& field, const t_ftd& column);
    void reset_not_null_flag(size_t i);

    // Sends what the array insert still holds and moves the identity sequence
    // past the values copied. The destructor does it too, but cannot report a failure.
    void flush();
    void finish_writes() override { flush(); }

    // Catalog read-back.
    void init_schema();
    void init_indexes(int mode);
    uint32_t get_columns_cnt();
    std::wstring get_safe_select_query(uint32_t& count);
    ole_variant get_def_value(VARTYPE vt, const std::wstring& text);

    // Whether column i takes its value through a LOB locator.
    bool is_lob(size_t i) const;
    // Whether column i holds national text (bound in the national form), or is a LONG.
    bool is_national(size_t i) const;
    bool is_long(size_t i) const;
    const std::wstring& get_last_rowid() const { return last_rowid; }
    ora_database* get_database() const { return p_db; }

private:
    // What every row written to this table shares, built from the first record
    // and again only when a record comes with other fields.
    struct row_plan {
        std::vector<std::wstring> field_names;        // the record's fields it was built for
        std::vector<std::pair<size_t, size_t>> pairs; // (column, field)
        std::wstring head;                            // "INSERT ... (columns) VALUES("
        std::vector<bool> national;                   // per pair: the column holds national text
        std::vector<bool> long_column;                // per pair: the column is a LONG
        std::vector<bool> lob;                        // per pair: the column takes its value by locator
    };
    const row_plan& plan_for(const udb_record& record);

    void open_cache();
    std::wstring null_value(size_t i, const t_ftd& column);
    // The SQL literal of a value bound for a column of this table.
    static std::wstring value_literal(const udb_field& field, const t_ftd& column);
    void advance_identity();
    // The catalog's DATA_TYPE of each column, as read back; empty when unknown.
    const std::wstring& catalog_type(const std::wstring& column) const;
    std::wstring field_literal(size_t i, const udb_field& field, const t_ftd& column, bool lob);
    // The LOB writer of the table for the pairs `lob_pairs` of the plan, made
    // again only when a row has its LOB values in other pairs than the row before.
    ora_lob_insert& lob_writer_for(const row_plan& p, const std::vector<size_t>& lob_pairs);

    uint32_t row_pos = 0;
    ora_get_rowid rowid;
    ora_database* p_db;
    udb_relationships* p_relationships;
    std::unique_ptr<ora_cache> cache;
    std::wstring last_rowid;
    std::vector<std::pair<std::wstring, std::wstring>> catalog_types; // (column, DATA_TYPE)
    bool flushed = false;
    uint32_t appended = 0; // rows written since the last flush
    // Values of the row being written that Oracle's NUMBER cannot hold, as "column (value)".
    std::vector<std::wstring> replaced_numbers;
    std::optional<row_plan> plan;
    std::unique_ptr<ora_lob_insert> lob_writer;
    std::vector<size_t> lob_writer_pairs; // the pairs of the plan lob_writer was made for
    std::vector<size_t> row_lob_pairs;    // the pairs of the row being written with a LOB value
    std::wstring row_sql;                 // the row's INSERT, its room kept from row to row
};
