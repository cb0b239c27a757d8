// One OCI SELECT cursor seen as a recordset, and the record of its current row.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "ORA/ora_stmt.h"
#include "ORA/ora_type.h"
#include "UDB/udb_record.h"
#include "UDB/udb_recordset.h"

class udb_database;

class ora_record : public udb_record {
public:
    explicit ora_record(const std::vector<std::unique_ptr<ora_type>>& holders);
};

class ora_query_results : public udb_recordset {
public:
    ora_query_results(uint32_t column_count, const std::wstring& sql);
    ora_query_results(udb_database* database, const std::wstring& name, const std::wstring& condition);
    ~ora_query_results() override;

    void append_record(udb_record* record) override;
    udb_record* get_item() override;
    bool is_eof() override;

    void initialize(uint32_t column_count, const std::wstring& sql);
    static std::unique_ptr<ora_type> gen_co_by_type(OCIParam* param, uint16_t data_type);

    uint32_t get_column_count() const { return column_count; }
    const std::vector<std::unique_ptr<ora_type>>& get_holders() const { return holders; }

protected:
    ora_stmt& get_stmt() { return stmt; }
    // One row; true when a row came, false at the end.
    bool fetch_row();

    bool b_fetch_called = false;
    uint32_t column_count = 0;
    bool b_initialized = false;
    bool b_at_end = false;
    ora_stmt stmt;
    std::vector<std::unique_ptr<ora_type>> holders;
    std::unique_ptr<ora_record> current;
};
