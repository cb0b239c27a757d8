// A read-only rowset over a result set read from the server as the client
// fetches rows.
#pragma once
#include <functional>
#include <memory>
#include "platform/oledb/odbp_backend.h"
#include "platform/oledb/oledb.h"

// How the provider describes one column (section of the native and generic modes).
struct odbp_column_meta {
    DBTYPE wType;
    DBLENGTH size;
    BYTE precision;
    BYTE scale;
    DBCOLUMNFLAGS flags;
};
odbp_column_meta odbp_meta_of(const mssx_result_column& c, bool generic);

// Opens the same rows again from their start (for RestartPosition). Throws mssx_error.
using odbp_reopen = std::function<std::unique_ptr<odbp_cursor>()>;

// Creates a rowset answering IRowset, IColumnsInfo, IAccessor and IRowsetInfo.
// Rows are read from `rows` as GetNextRows asks for them and held until released.
HRESULT odbp_create_rowset(std::unique_ptr<odbp_cursor> rows, odbp_reopen reopen, bool generic, REFIID riid,
                           IUnknown** pp);

// Builds the column-info array and its strings buffer in task memory.
HRESULT odbp_column_info(const std::vector<mssx_result_column>& cols, bool generic, DBORDINAL* pc, DBCOLUMNINFO** info,
                         OLECHAR** strings);
