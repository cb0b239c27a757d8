#include "MSS/odb_accessor.h"

#include <algorithm>

#include "MSS/odb_exception.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

// Value areas are counted in wide characters of the provider's text form.
constexpr uint32_t wide(uint32_t chars) { return chars * static_cast<uint32_t>(sizeof(WCHAR)); }

constexpr uint32_t align8(uint32_t n) { return (n + 7u) & ~7u; }

} // namespace

odb_accessor::odb_accessor() { tk_logger::log(2, "odb_accessor::ctor"); }

odb_accessor::~odb_accessor()
{
    tk_logger::log(2, "odb_accessor::dtor");
    if (haccessor && accessor.p) accessor.p->ReleaseAccessor(haccessor, nullptr);
    CoTaskMemFree(row_buffer);
    CoTaskMemFree(bindings);
    CoTaskMemFree(bind_status);
    tk_logger::log(2, "odb_accessor::dtor - END");
    accessor.release();
}

uint32_t odb_accessor::get_bind_size(uint32_t i) const
{
    tk_logger::log(1, "odb_accessor::get_bind_size(%d)", static_cast<int>(i));
    if (!columns) throw tk_mail_assertion("odb_acc", 198);
    const uint32_t s = static_cast<uint32_t>(columns[i].ulColumnSize);
    switch (columns[i].wType) {
    case DBTYPE_EMPTY:
    case DBTYPE_NULL:
    case DBTYPE_I2:
    case DBTYPE_I4:
    case DBTYPE_R4:
    case DBTYPE_R8:
    case DBTYPE_CY:
    case DBTYPE_ERROR:
    case DBTYPE_BOOL:
    case DBTYPE_I1:
    case DBTYPE_UI1:
    case DBTYPE_UI2:
    case DBTYPE_UI4:
    case DBTYPE_I8:
    case DBTYPE_UI8:
        return wide(26);
    case DBTYPE_DATE:
    case DBTYPE_DECIMAL:
    case DBTYPE_GUID:
    case DBTYPE_NUMERIC:
    case DBTYPE_DBDATE:
    case DBTYPE_DBTIMESTAMP:
    case DBTYPE_DBTIME2:
        return wide(51);
    case DBTYPE_BSTR:
    case DBTYPE_STR:
    case DBTYPE_WSTR:
        return wide(std::min<uint32_t>(s + 1u, column_cap));
    case DBTYPE_BYTES:
        return 2u * std::min<uint32_t>(2u * s + 1u, column_cap);
    default:
        // Other types come back as text whose length is not their binary size
        // (datetimeoffset, time, sql_variant): room for their text form.
        if (s == 0 || s + 1u == 0) return column_cap;
        return std::max(wide(std::min<uint32_t>(s + 1u, column_cap)), wide(51));
    }
}

bool odb_accessor::is_stream_column(const DBCOLUMNINFO& column)
{
    if (!(column.dwFlags & DBCOLUMNFLAGS_ISLONG)) return false;
    switch (column.wType) {
    case DBTYPE_BSTR:
    case DBTYPE_STR:
    case DBTYPE_WSTR:
    case DBTYPE_XML:
    case DBTYPE_BYTES:
        return true;
    default:
        return false;
    }
}

void odb_accessor::bind(IRowset* rowset, uint32_t n, const DBCOLUMNINFO* cols)
{
    tk_logger::log(2, "odb_accessor::bind(n_cols=%d)", static_cast<int>(n));
    if (!cols) throw tk_mail_assertion("odb_acc", 104);
    n_cols = n;
    columns = cols;
    plan = odb_record::plan_columns(n_cols, cols);
    has_streams = false;
    if (n_cols == 0) return; // nothing to bind, and no share of the budget to compute
    bindings = static_cast<DBBINDING*>(CoTaskMemAlloc(sizeof(DBBINDING) * n_cols));
    if (!bindings) throw tk_mail_assertion("odb_acc", 111);
    const uint32_t limit = std::min<uint32_t>(buffer_budget / n_cols, column_cap);
    row_size = 0;
    for (uint32_t i = 0; i < n_cols; ++i) {
        DBBINDING& b = bindings[i];
        b = DBBINDING{};
        b.iOrdinal = i + 1;
        b.obStatus = row_size + status_offset;
        b.obLength = row_size + length_offset;
        b.obValue = row_size + value_offset;
        b.pTypeInfo = nullptr;
        b.pObject = nullptr;
        b.pBindExt = nullptr;
        b.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
        b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
        b.eParamIO = DBPARAMIO_NOTPARAM;
        if (is_stream_column(cols[i])) {
            // A long value is read through its stream in pieces: no cap, and
            // no room for it in the row buffer.
            b.wType = DBTYPE_IUNKNOWN;
            b.pObject = &stream_object;
            b.cbMaxLen = sizeof(IUnknown*);
            has_streams = true;
            tk_logger::log(2, "Bind column #%d, type=%d, as a stream", static_cast<int>(i),
                           static_cast<int>(cols[i].wType));
            row_size += align8(static_cast<uint32_t>(value_offset + sizeof(IUnknown*)));
            continue;
        }
        uint32_t max_len = std::min(get_bind_size(i), limit);
        tk_logger::log(1, "bindings[%d].cbMaxLen=%d", static_cast<int>(i), static_cast<int>(max_len));
        const DBTYPE t = cols[i].wType;
        if (max_len == 0 && (t == DBTYPE_STR || t == DBTYPE_WSTR || t == DBTYPE_BSTR)) max_len = limit;
        b.cbMaxLen = max_len;
        tk_logger::log(2, "Bind column #%d, type=%d, size=%d", static_cast<int>(i), static_cast<int>(t),
                       static_cast<int>(max_len));
        b.dwFlags = 0;
        b.wType = t == DBTYPE_BYTES ? DBTYPE_BYTES : DBTYPE_WSTR;
        b.bPrecision = cols[i].bPrecision;
        b.bScale = cols[i].bScale;
        row_size += align8(static_cast<uint32_t>(value_offset) + max_len);
    }
    tk_logger::log(2, "Allocating bind-bufer, %d bytes", static_cast<int>(row_size));
    row_buffer = static_cast<BYTE*>(CoTaskMemAlloc(row_size));
    if (!row_buffer) throw tk_mail_assertion("odb_acc", 163);
    bind_status = static_cast<DBBINDSTATUS*>(CoTaskMemAlloc(sizeof(DBBINDSTATUS) * n_cols));
    if (!bind_status) throw tk_mail_assertion("odb_acc", 166);
    odb_check(rowset->QueryInterface(IID_IAccessor, accessor.out()));
    odb_check(accessor->CreateAccessor(DBACCESSOR_ROWDATA, n_cols, bindings, 0, &haccessor, bind_status));
}

void odb_accessor::get_record(IRowset* rowset, HROW row, std::unique_ptr<odb_record>& slot)
{
    tk_logger::log(1, "odb_accessor::get_record");
    if (!haccessor) throw tk_mail_assertion("odb_acc", 185);
    odb_check(rowset->GetData(row, haccessor, row_buffer));
    if (slot)
        slot->refill(n_cols, row_buffer, columns, bindings, plan);
    else
        slot = std::make_unique<odb_record>(n_cols, row_buffer, columns, bindings, plan);
}
