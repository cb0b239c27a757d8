// A read-only rowset over a result the server has already produced.
#pragma once
#include <memory>
#include "platform/oledb/mssx_connection.h"
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

// Creates a rowset answering IRowset, IColumnsInfo, IAccessor and IRowsetInfo.
HRESULT odbp_create_rowset(std::shared_ptr<const mssx_result> result, bool generic, REFIID riid, IUnknown** pp);

// Builds the column-info array and its strings buffer in task memory.
HRESULT odbp_column_info(const std::vector<mssx_result_column>& cols, bool generic, DBORDINAL* pc,
                         DBCOLUMNINFO** info, OLECHAR** strings);
