// The model recordset over an OLE DB rowset, fetched five rows at a time.
#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "MSS/odb_accessor.h"
#include "MSS/odb_record.h"
#include "OLE/ole_com_ptr.h"
#include "UDB/udb_recordset.h"
#include "platform/oledb/oledb.h"

class odb_recordset : public udb_recordset {
public:
    static constexpr uint32_t cache_size = 5;

    uint32_t n_cols = 0;
    uint32_t row_no = 0;
    odb_accessor accessor;
    ole_com_ptr<IRowset> rowset;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* column_names = nullptr;
    uint32_t local_pos = 0;
    uint32_t rows_obtained = 0;
    std::array<std::unique_ptr<odb_record>, cache_size> cache;
    // Records of rows already passed, refilled with the next rows.
    std::array<std::unique_ptr<odb_record>, cache_size> spare;
    // Rows fetched since the last reset, and values that could not be read whole.
    uint64_t rows_fetched = 0;
    uint64_t lost_values = 0;
    // A row with such a value is refused by get_item (udb_value_exception)
    // rather than handed out with NULL in its place.
    bool refuse_lost_values = false;

    explicit odb_recordset(IRowset* rowset);
    explicit odb_recordset(const std::wstring& name);
    // A table or query whose rowset is obtained later, then initialize().
    odb_recordset(const std::wstring& name, const std::wstring& query);
    ~odb_recordset() override;

    void append_record(udb_record* record) override;
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void reset() override;

    void initialize();
    void fill_cache();
    void clean_cache();
};
