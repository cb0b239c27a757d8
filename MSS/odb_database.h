// The model database over one OLE DB session.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "MSS/odb_column_props.h"
#include "OLE/ole_com_ptr.h"
#include "UDB/udb_database.h"
#include "UDB/udb_recordset.h"
#include "platform/oledb/oledb.h"

class odb_database : public udb_database {
public:
    ole_com_ptr<IOpenRowset> session;
    ole_com_ptr<IDBInitialize> data_source;

    odb_database(const std::wstring& name, IDBInitialize* data_source, IOpenRowset* session, uint32_t mode);
    ~odb_database() override;

    bool delete_tab(const std::wstring& table) override;
    std::unique_ptr<udb_recordset> query(const std::wstring& sql) override;
    bool test_query(const std::wstring& sql) override;

    // Creates the table through ITableDefinition, then sets the types and
    // collations the column descriptions cannot carry.
    void create_table_def(const std::wstring& table, udb_schema& schema, udb_indexes& indexes);
    // The column's default as DBPROP_COL_DEFAULT; a value that does not
    // convert to the column's type gives no default.
    void set_def_value(const t_ftd* column, odb_column_props* props);
};
