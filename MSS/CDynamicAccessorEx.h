// The row accessor of the bulk-insert path: the rowset's column information,
// one binding per column into one row buffer with value, length and status
// parts, and the accessor handle the provider made for them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "OLE/ole_com_ptr.h"
#include "UDB/udb_schema.h"
#include "platform/oledb/oledb.h"

class CDynamicAccessorEx {
public:
    CDynamicAccessorEx();
    CDynamicAccessorEx(const CDynamicAccessorEx&) = delete;
    CDynamicAccessorEx& operator=(const CDynamicAccessorEx&) = delete;
    ~CDynamicAccessorEx();

    // Fills binding `index` (0-based) of the binding list.
    void Bind(size_t index, DBORDINAL nOrdinal, DBTYPE wType, DBLENGTH nLength, BYTE nPrecision, BYTE nScale,
              DBBYTEOFFSET nDataOffset, DBBYTEOFFSET nLengthOffset, DBBYTEOFFSET nStatusOffset);
    // The same with an object description (a stream), without the value part when asked.
    void BindEx(size_t index, DBORDINAL nOrdinal, DBTYPE wType, DBLENGTH nLength, BYTE nPrecision, BYTE nScale,
                DBBYTEOFFSET nDataOffset, DBBYTEOFFSET nLengthOffset, DBBYTEOFFSET nStatusOffset,
                const DBOBJECT& object, bool no_value);
    // Reads the rowset's columns, binds each one for the schema's column of
    // the same position and creates the accessor.
    HRESULT BindColumns(IUnknown* rowset, const udb_schema& schema, DBLENGTH long_threshold, bool mode_2008,
                        int32_t version);
    void release();

    size_t column_count() const { return bindings_.size(); }
    // By ordinal (1-based); null when the column is not bound.
    const DBBINDING* binding(DBORDINAL ordinal) const;
    const DBCOLUMNINFO* column_info(DBORDINAL ordinal) const;
    BYTE* value(DBORDINAL ordinal);
    void set_length(DBORDINAL ordinal, DBLENGTH length);
    void set_status(DBORDINAL ordinal, DBSTATUS status);
    DBSTATUS get_status(DBORDINAL ordinal) const;

    BYTE* buffer() { return reinterpret_cast<BYTE*>(buffer_.data()); }
    HACCESSOR handle() const { return handle_; }

private:
    ole_com_ptr<IAccessor> accessor_;
    HACCESSOR handle_ = 0;
    std::vector<DBBINDING> bindings_;
    std::vector<DBCOLUMNINFO> columns_;
    std::vector<std::wstring> names_;
    std::vector<uint64_t> buffer_; // 8-byte aligned row buffer
    DBOBJECT stream_object_{};
};
