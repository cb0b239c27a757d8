// The array insert of one table: up to 200 rows bound column by column and
// sent with one execute; LOB values written afterwards through the ROWIDs.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ORA/ora_stmt.h"
#include "ORA/t_lob_desc.h"
#include "UDB/udb_record.h"
#include "platform/oci/oci.h"

class ora_table;
struct t_ftd;
class udb_field;

class ora_cache {
public:
    static constexpr uint32_t batch_size = 200;
    static constexpr uint32_t rowid_size = 64;

    struct bind_buffer {
        std::vector<unsigned char> data; // batch_size x element size
        std::vector<sb2> indicators;     // 0 or -1 (NULL)
        uint32_t element_size = 0;
        ub2 type = 0; // OCI external type
        OCIBind* bind = nullptr;

        bind_buffer() = default;
        bind_buffer(uint32_t element_size, ub2 type);
        unsigned char* slot(uint32_t row) { return data.data() + static_cast<size_t>(row) * element_size; }
    };

    ora_cache(const std::wstring& table_name, ora_table* table);
    ~ora_cache();
    ora_cache(const ora_cache&) = delete;
    ora_cache& operator=(const ora_cache&) = delete;

    void init(const std::wstring& table_name);
    void append_record(const udb_record& record);
    void copy_field(const udb_field& field, uint32_t row, uint32_t i);
    // Sends the buffered rows, writes their LOBs and commits them.
    void commit();
    // commit() when rows are waiting.
    void flush();
    void bind();

    void lob_data_init();
    void lob_data_copy(const udb_record& record);
    void lob_data_insert();
    void lob_data_clear();

    uint32_t get_rows() const { return rows; }
    const std::wstring& get_sql() const { return sql; }
    const std::map<uint32_t, bind_buffer>& get_buffers() const { return buffers; }

private:
    // Sets the LOB columns whose value is NULL to NULL in the row sent.
    void lob_nulls_set(const std::wstring& rowid, const udb_record& values);

    uint32_t rows = 0;
    std::map<uint32_t, bind_buffer> buffers; // by column position; the ROWID under the column count
    ora_stmt stmt;
    ora_table* table;
    std::vector<udb_record> lob_data;
    std::vector<t_lob_desc> v_blob_desc;
    std::wstring table_name;
    std::wstring sql;
};
