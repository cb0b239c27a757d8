// One open database of either server: its table list, names map and the
// catalog operations that the engines implement.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UDB/udb_indexes.h"
#include "UDB/udb_names_map.h"
#include "UDB/udb_relationships.h"
#include "UDB/udb_schema.h"
#include "UDB/udb_table_list.h"

class udb_recordset;

class udb_database {
public:
    using view_list = std::vector<std::pair<std::wstring, std::wstring>>; // (name, definition)

    static constexpr uint32_t mode_append = 8;        // compared for equality
    static constexpr uint32_t mode_skip_views = 0x80; // a bit

    uint32_t mode;
    std::wstring name;
    bool case_sensitive;
    view_list views;
    udb_table_list tables;
    udb_names_map names_map;
    udb_relationships relationships;
    bool flag = false;

    udb_database(const std::wstring& name, uint32_t mode, bool case_sensitive);
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;
    virtual ~udb_database();

    virtual void create_schema(const std::wstring& owner);
    // Recordsets handed out by the database belong to the caller.
    virtual std::unique_ptr<udb_recordset> create_table(const std::wstring& table, udb_schema& schema,
                                                        udb_indexes& indexes) = 0;
    virtual void create_index(const std::wstring& table, udb_schema& schema, udb_index& index);
    virtual void create_indexes(const std::wstring& table, udb_schema& schema, udb_indexes& indexes);
    virtual void create_views(view_list& views);
    virtual void hook1(const std::wstring& arg);
    virtual void hook2(const std::wstring& arg1, const std::wstring& arg2);
    virtual bool delete_tab(const std::wstring& table);
    virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& table, const std::wstring& query,
                                                     int mode) = 0;
    virtual void get_schema_info(std::vector<std::wstring>& schemas);
    virtual std::unique_ptr<udb_recordset> get_table1(const std::wstring& table, int mode) = 0;
    virtual std::unique_ptr<udb_recordset> query(const std::wstring& sql);
    virtual bool test_query(const std::wstring& sql) = 0;
    virtual void create_relationships(udb_relationships& relationships);
    virtual const std::vector<std::wstring>& get_tables();
    virtual bool is_table_exist(const std::wstring& table);

    std::wstring get_fn_mapped_name(const std::wstring& table, const std::wstring& field, bool exact) const;
};
