// Bulk insert into one SQL Server table through IRowsetFastLoad: rows are
// bound into the accessor's row buffer, inserted, and committed in batches.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "MSS/CDynamicAccessorEx.h"
#include "OLE/ole_com_ptr.h"
#include "UDB/udb_schema.h"
#include "platform/oledb/oledb.h"

class CSeqStream;

class mss_fast_load {
public:
    static constexpr uint32_t batch_size = 1000;

    bool b_open = false;
    CDynamicAccessorEx accessor;
    ole_com_ptr<IRowsetFastLoad> fast_load;
    uint32_t counter = 0;    // rows since the last commit
    DBLENGTH long_threshold; // longer columns are bound as streams

    mss_fast_load();
    mss_fast_load(const mss_fast_load&) = delete;
    mss_fast_load& operator=(const mss_fast_load&) = delete;
    ~mss_fast_load();

    // Opens the bulk rowset of the table and binds its columns for the
    // schema; keep_identity asks the server to keep identity values sent.
    HRESULT open_table(IOpenRowset* session, const std::wstring& table, const udb_schema& schema, bool keep_identity);
    // A double converted to the column's NUMERIC precision and scale.
    void bind_data1(double value, DBORDINAL ordinal);
    bool bind_data2(const void* data, DBLENGTH length, DBORDINAL ordinal);
    // Copies the bytes into the column's value; null data with length 0 binds NULL.
    bool bind_data3(const void* data, DBLENGTH length, DBORDINAL ordinal);
    // Hands a stream to a stream column; the loader owns the reference until
    // the row is inserted, when the provider takes it over.
    void bind_stream(CSeqStream* stream, DBORDINAL ordinal);
    void insert_data();
    // Commits the rest and releases the rowset; a failed commit is thrown
    // after everything was released.
    void close_table();

    // The bound type of a column (DBTYPE_EMPTY when it is not bound).
    DBTYPE bound_type(DBORDINAL ordinal) const;
    DBLENGTH bound_length(DBORDINAL ordinal) const;

private:
    void drop_streams();
};

// A decimal text as DB_NUMERIC of the given precision and scale, rounded
// half away from zero; false when it does not fit.
bool mss_numeric_from_text(const std::wstring& text, BYTE precision, BYTE scale, DB_NUMERIC& out);
