// Runs SQL text on an OLE DB session.
#pragma once
#include <string>

#include "OLE/ole_com_ptr.h"
#include "platform/oledb/oledb.h"

class odb_command {
public:
    ole_com_ptr<IOpenRowset> session;
    ole_com_ptr<ICommandText> text;

    explicit odb_command(IOpenRowset* session);
    // Opens a session of its own on the data source.
    explicit odb_command(IDBInitialize* data_source);
    odb_command(const odb_command&) = delete;
    odb_command& operator=(const odb_command&) = delete;
    ~odb_command();

    // Runs the text; with `rowset` given, the result's rowset is handed over
    // there (null for a statement without a result set).
    void execute(const std::wstring& sql, IRowset** rowset = nullptr);

private:
    void create_command();
};
