// The SQL Server source database: its catalog (tables, column types, views)
// and the tables and queries it hands out.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MSS/mss_error_sink.h"
#include "MSS/mss_table.h"
#include "MSS/odb_database.h"

class mss_database : public odb_database {
public:
    // schema -> table -> column -> data type, keys compared exactly.
    using column_types = std::map<std::wstring, std::map<std::wstring, std::map<std::wstring, std::wstring>>>;

    bool b_primary_key = false;
    column_types types;
    mss_error_sink error_sink; // errors of keys and views that the writer goes on from

    mss_database(const std::wstring& name, IDBInitialize* data_source, IOpenRowset* session, uint32_t mode);
    ~mss_database() override;

    std::unique_ptr<udb_recordset> create_table(const std::wstring& table, udb_schema& schema,
                                                udb_indexes& indexes) override;
    std::unique_ptr<udb_recordset> get_table1(const std::wstring& table, int mode) override;
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, const std::wstring& query, int mode) override;
    std::unique_ptr<mss_table> get_table2(const std::wstring& table,
                                          const std::vector<std::shared_ptr<t_ftd>>& columns);
    bool is_table_exist(const std::wstring& table) override;
    void get_schema_info(std::vector<std::wstring>& schemas) override;

    mss_table* amend_schema(mss_table* table);

    // Writing (a SQL Server target).
    void create_schema(const std::wstring& owner) override;
    void create_index(const std::wstring& table, udb_schema& schema, udb_index& index) override;
    void create_clustered_index(const std::wstring& table, udb_schema& schema);
    std::wstring gen_idx_name(const udb_recordset* table, const std::vector<std::wstring>& columns);
    void create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& columns);
    static bool is_valid_fk_props(const std::wstring& rule);
    void create_relationships(udb_relationships& relationships) override;
    void create_views(view_list& views) override;
    // A view's SELECT text rewritten for SQL Server, under the target names.
    std::wstring refine_view(const std::wstring& text) const;

    void init_tables(IOpenRowset* session, const std::wstring& owner);
    void init_columns(IOpenRowset* session, const std::wstring& owner);
    void init_views(IOpenRowset* session, const std::wstring& owner);

    // The schema owner this login reads: "dbo" or the user's name.
    const std::wstring& owner() const { return owner_; }

private:
    std::wstring owner_;
    std::wstring resolve_fk_table(const std::wstring& table, const char* what);
};
