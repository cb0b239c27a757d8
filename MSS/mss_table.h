// One SQL Server table or query read as a recordset of the model, with its
// columns refined from the server's catalog.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MSS/mss_fast_load.h"
#include "MSS/odb_command.h"
#include "MSS/odb_table.h"
#include "OLE/ole_variant.h"
#include "UDB/t_ftd.h"

class mss_table : public odb_table {
public:
    bool b_identity = false;
    odb_command command;
    mss_fast_load loader;
    bool b_fl_failed = false; // the bulk path failed once: INSERT statements from then on

    // ctor1: a table by name, refined with sp_columns, identity, keys and indexes.
    mss_table(const std::wstring& name, IOpenRowset* session, uint32_t mode, udb_relationships* relationships);
    // ctor2: a named query.
    mss_table(const std::wstring& name, const std::wstring& query, IOpenRowset* session, uint32_t mode,
              udb_relationships* relationships);
    // ctor3: a table just created; the descriptors are shared with the caller.
    mss_table(const std::wstring& name, IOpenRowset* session, const std::vector<std::shared_ptr<t_ftd>>& columns,
              udb_relationships* relationships);
    ~mss_table() override;

    void init_schema();
    static ole_variant get_def_value(const t_ftd& field, const std::wstring& text);

    // Writing (a SQL Server target).
    void append_record(udb_record* record) override;
    void update(udb_record* record) override;
    void fast_append(udb_record* record);
    void slow_record(udb_record* record);

    // Ends the table's writing session: the bulk rows' last commit and
    // IDENTITY_INSERT back off. Failures are thrown here, where the
    // destructor can only log them.
    void finish();

private:
    bool finished_ = false;
    bool identity_on_ = false; // this table switched IDENTITY_INSERT on
    void bind_field(const udb_field& field, size_t i);
    void read_identity(const std::wstring& table, const std::wstring& owner);
    void find_identity();
};
