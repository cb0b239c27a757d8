// A model record built from one row buffer of an OLE DB accessor, and the
// type mapping between OLE DB types and the model's VARIANT types.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MSS/odb_field.h"
#include "MSS/odb_text_value.h"
#include "UDB/t_ftd.h"
#include "UDB/udb_record.h"
#include "platform/oledb/oledb.h"

class odb_record : public udb_record {
public:
    // A column whose value could not be read whole and became NULL.
    struct lost_value {
        uint32_t column;
        DBSTATUS status;
    };

    // What reading a column's values needs, the same for every row of a rowset.
    struct column_plan {
        std::wstring name;
        int32_t size = 0; // the column's declared size
        VARTYPE vt = VT_EMPTY;
        odb_text_form form = odb_text_form::general;
    };
    static std::vector<column_plan> plan_columns(uint32_t n_cols, const DBCOLUMNINFO* columns);

    uint32_t n_cols = 0;
    const BYTE* row_buffer = nullptr;
    const DBCOLUMNINFO* columns = nullptr;
    const DBBINDING* bindings = nullptr;
    std::vector<lost_value> lost;

    odb_record(uint32_t n_cols, const BYTE* row_buffer, const DBCOLUMNINFO* columns, const DBBINDING* bindings);
    // A record of the row in row_buffer, read by the rowset's plan.
    odb_record(uint32_t n_cols, const BYTE* row_buffer, const DBCOLUMNINFO* columns, const DBBINDING* bindings,
               const std::vector<column_plan>& plan);
    // Reads the next row of the same rowset into this record, reusing its fields.
    void refill(uint32_t n_cols, const BYTE* row_buffer, const DBCOLUMNINFO* columns, const DBBINDING* bindings,
                const std::vector<column_plan>& plan);

    static VARTYPE get_vartype(DBTYPE type, DBLENGTH size, DBCOLUMNFLAGS flags, uint32_t& hint);
    static std::unique_ptr<odb_field> get_field(const DBCOLUMNINFO& column, const wchar_t* text, size_t length);
    static std::unique_ptr<odb_field> get_field(const DBCOLUMNINFO& column, const wchar_t* text);
    static DBTYPE get_oledb_type(const t_ftd& field);
    // The field of a column bound as a stream object: a long value stays in
    // its stream, a short one is read whole.
    static std::unique_ptr<odb_field> stream_field(const DBCOLUMNINFO& column, DBLENGTH length,
                                                   ISequentialStream* stream);

    // Whether the text is hexadecimal digits in pairs, optionally after "0x".
    static bool is_hex_text(const std::wstring& text);

private:
    void fill(const std::vector<column_plan>& plan);
    udb_field& field_at(uint32_t i, const column_plan& plan);
    std::wstring text_; // the current value's text, its room kept from row to row
};
