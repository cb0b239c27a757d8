// A table or query of either server seen as a cursor over records; a target
// table also accepts records.
#pragma once
#include <cstdint>
#include <string>

#include "UDB/udb_indexes.h"
#include "UDB/udb_record.h"
#include "UDB/udb_schema.h"

class udb_database;

class udb_recordset {
public:
    std::wstring query;      // empty for a plain table
    std::wstring table_name; // also the key into the names map
    udb_schema schema;
    udb_indexes indexes;
    udb_database* db = nullptr; // renames the fields when set; not owned
    uint32_t record_count = 0;
    int32_t key_pos = -1; // first primary or unique index in indexes

    udb_recordset(udb_database* db, const std::wstring& table_name, const std::wstring& query, bool schema_flag);
    explicit udb_recordset(const std::wstring& table_name);
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;
    virtual ~udb_recordset();

    virtual void append_record(udb_record* record) = 0;
    virtual void update(udb_record* record);
    virtual void hook1();
    // The current record, owned by the recordset; the caller never deletes it.
    virtual udb_record* get_item();
    virtual bool is_eof();
    virtual bool is_query() const;
    virtual void next();
    virtual void hook2();
    virtual void reset();
    // After the last record of a target: what a target still holds is written here, where a
    // failure can still be reported for the table (a destructor cannot). Nothing by default.
    virtual void finish_writes();

    void add_index(const udb_index& index);
    // Renames the record's fields to this table's columns and changes each
    // value to its column's type, in place.
    void convert_record(udb_record& record);
};
