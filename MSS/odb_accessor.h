// Binds every column of a rowset into one row buffer (wide text, binary
// columns as bytes, long columns as stream objects) and builds records from
// fetched rows.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "MSS/odb_record.h"
#include "OLE/ole_com_ptr.h"
#include "platform/oledb/oledb.h"

class odb_accessor {
public:
    // Block layout of one column in the row buffer: status word, length word,
    // value area. The length word is a DBLENGTH, so the header follows its size.
    static constexpr size_t status_offset = 0;
    static constexpr size_t length_offset = sizeof(DBLENGTH) > sizeof(DBSTATUS) ? sizeof(DBLENGTH) : sizeof(DBSTATUS);
    static constexpr size_t value_offset = length_offset + sizeof(DBLENGTH);
    // Row buffer budget, and the most one column may take of it.
    static constexpr uint32_t buffer_budget = 500000000;
    static constexpr uint32_t column_cap = 50000000;
    // A long column is bound as a stream object; a value of up to this many
    // stream bytes is read whole into its field, a longer one stays a stream.
    static constexpr size_t inline_long_bytes = size_t{1} << 20;

    // Whether a column is bound as a stream object (long text and binary).
    static bool is_stream_column(const DBCOLUMNINFO& column);

    uint32_t n_cols = 0;
    uint32_t row_size = 0;
    HACCESSOR haccessor = 0;
    const DBCOLUMNINFO* columns = nullptr;
    BYTE* row_buffer = nullptr;
    DBBINDING* bindings = nullptr;
    DBBINDSTATUS* bind_status = nullptr;
    DBOBJECT stream_object{STGM_READ, IID_ISequentialStream};
    ole_com_ptr<IAccessor> accessor;

    odb_accessor();
    odb_accessor(const odb_accessor&) = delete;
    odb_accessor& operator=(const odb_accessor&) = delete;
    ~odb_accessor();

    void bind(IRowset* rowset, uint32_t n_cols, const DBCOLUMNINFO* columns);
    uint32_t get_bind_size(uint32_t i) const;
    // Reads the row into the record in slot, made on first use and reused after.
    void get_record(IRowset* rowset, HROW row, std::unique_ptr<odb_record>& slot);

    // How each column's values are read, worked out when the columns are bound.
    std::vector<odb_record::column_plan> plan;
    bool has_streams = false; // some column is bound as a stream object
};
