// One SQL Server table or query as a model recordset, with its keys and indexes.
#pragma once
#include <cstdint>
#include <string>

#include "MSS/odb_recordset.h"
#include "OLE/ole_com_ptr.h"
#include "UDB/udb_relationships.h"
#include "platform/oledb/oledb.h"

class odb_table : public odb_recordset {
public:
    static constexpr int32_t mode_no_rowset = 2;

    ole_com_ptr<IOpenRowset> session;
    udb_relationships* relationships = nullptr;
    int32_t mode = 0;

    odb_table(const std::wstring& name, IOpenRowset* session, int32_t mode, udb_relationships* relationships);
    odb_table(const std::wstring& name, const std::wstring& query, IOpenRowset* session, int32_t mode,
              udb_relationships* relationships);
    ~odb_table() override;

    void internal_initialize(int32_t mode);
    // The record count: COUNT(*) of the table or query. For a query the server
    // refuses to count as a derived table, its rows are counted by reading them.
    uint32_t get_records_cnt();
    void init_indexes(const std::wstring& table, const std::wstring& owner);
    void init_indexes2(const std::wstring& table, const std::wstring& owner);
    // The conditions of the table's filtered indexes, from the catalog (none before SQL Server 2008).
    void init_index_filters(const std::wstring& table, const std::wstring& owner);

private:
    void open_with_retry();
};
