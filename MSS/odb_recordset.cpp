#include "MSS/odb_recordset.h"

#include "MSS/odb_exception.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_value_exception.h"

namespace {

// The longest text of a sql_variant value: its widest base type is a varchar(8000).
constexpr uint32_t variant_text_chars = 8000;

} // namespace

odb_recordset::odb_recordset(IRowset* rs) : udb_recordset(std::wstring()), rowset(rs)
{
    tk_logger::log(2, "odb_recordset::ctor");
    initialize();
}

odb_recordset::odb_recordset(const std::wstring& name) : udb_recordset(name) {}

odb_recordset::odb_recordset(const std::wstring& name, const std::wstring& query)
    : udb_recordset(nullptr, name, query, true)
{}

odb_recordset::~odb_recordset()
{
    tk_logger::log(2, "odb_recordset::dtor");
    clean_cache();
    for (auto& slot : spare) slot.reset();
    CoTaskMemFree(columns);
    CoTaskMemFree(column_names);
    columns = nullptr;
    column_names = nullptr;
    tk_logger::log(2, "odb_recordset::dtor - END");
    rowset.release();
}

void odb_recordset::initialize()
{
    tk_logger::log(2, "odb_recordset::initialize");
    if (rowset.empty()) {
        tk_logger::log(2, "Rowset isn't defined");
        return;
    }
    ole_com_ptr<IColumnsInfo> info;
    odb_check(rowset->QueryInterface(IID_IColumnsInfo, info.out()));
    DBORDINAL count = 0;
    odb_check(info->GetColumnInfo(&count, &columns, &column_names));
    n_cols = static_cast<uint32_t>(count);
    tk_logger::log(1, "*** Got %d columns ***", static_cast<int>(n_cols));
    for (uint32_t i = 0; i < n_cols; ++i) {
        const DBCOLUMNINFO& c = columns[i];
        const std::wstring name = c.pwszName ? c.pwszName : L"";
        tk_logger::log(2, "Column #%d has type=%d,size=%08X", static_cast<int>(i), static_cast<int>(c.wType),
                       static_cast<unsigned>(c.ulColumnSize));
        uint32_t hint = 0;
        const VARTYPE vt = odb_record::get_vartype(c.wType, c.ulColumnSize, c.dwFlags, hint);
        tk_logger::log(2, L"Field '%s' has type %d", name.c_str(), static_cast<int>(c.wType));
        // A time of day stays one (a query's columns have no catalog entry to tell it).
        if (vt == VT_DATE) hint = c.wType == DBTYPE_DBTIME2 ? t_ftd::hint_time_only : t_ftd::hint_date_timestamp;
        // National text is told from text of a code page: long, it needs a national
        // LOB. A sql_variant's text may be national text too.
        if (vt == VT_BSTR && hint == 0 && (c.wType == DBTYPE_WSTR || c.wType == DBTYPE_VARIANT))
            hint = t_ftd::hint_bstr_national;
        tk_logger::log(2, ">>> reserved=%d", static_cast<int>(hint));
        uint32_t size = static_cast<uint32_t>(c.ulColumnSize);
        if (c.wType == DBTYPE_GUID) size = 38;
        // A binary column of a bounded length keeps it in bytes, so that a key can hold it; a long one has none.
        const bool bounded_bytes =
            (c.wType == DBTYPE_BYTES || c.wType == DBTYPE_UDT) && (c.dwFlags & DBCOLUMNFLAGS_ISLONG) == 0;
        if (vt == VT_BLOB && !bounded_bytes) size = 0;
        // The text of a datetimeoffset, a timestamp or a time: its precision is
        // its length in characters, which tells the digits of its fraction.
        if (c.wType == DBTYPE_DBTIMESTAMPOFFSET || c.wType == DBTYPE_DBTIMESTAMP || c.wType == DBTYPE_DBTIME2)
            size = c.bPrecision;
        // The longest text a sql_variant value may have (a varchar(8000)).
        if (c.wType == DBTYPE_VARIANT) size = variant_text_chars;
        auto ftd = std::make_shared<t_ftd>(size, name, vt, (c.dwFlags & DBCOLUMNFLAGS_ISNULLABLE) == 0, false,
                                           ole_variant(), hint, std::wstring());
        if (vt == VT_DECIMAL) {
            tk_logger::log(1, L"Scale/precision for decimal column '%s': (%d, %d)", name.c_str(),
                           static_cast<int>(c.bScale), static_cast<int>(c.bPrecision));
            ftd->dw_reserved = t_ftd::decimal_hint(c.bPrecision, c.bScale);
        }
        schema.push_back(std::move(ftd));
    }
    clean_cache();
    for (auto& slot : spare) slot.reset(); // made for the columns bound before
    accessor.bind(rowset.p, n_cols, columns);
}

void odb_recordset::fill_cache()
{
    tk_logger::log(1, "odb_recordset::fill_cache");
    if (rowset.empty()) throw tk_mail_assertion("odb_recs", 167);
    rows_obtained = 0;
    if (n_cols == 0) return; // a rowset without columns has no rows to read
    DBCOUNTITEM obtained = 0;
    HROW handles[cache_size] = {};
    HROW* phandles = handles;
    odb_check(rowset->GetNextRows(DB_NULL_HCHAPTER, 0, cache_size, &obtained, &phandles));
    tk_logger::log(1, "GetNextRows extracts %d records", static_cast<int>(obtained));
    rows_obtained = static_cast<uint32_t>(obtained);
    try {
        for (uint32_t k = 0; k < rows_obtained; ++k) {
            cache[k] = std::move(spare[k]);
            accessor.get_record(rowset.p, handles[k], cache[k]);
            const uint64_t record_no = rows_fetched + k + 1;
            for (const odb_record::lost_value& l : cache[k]->lost) {
                ++lost_values;
                const DBCOLUMNINFO& c = columns[l.column];
                tk_logger::log(3,
                               L"Table '%s', record %llu: column '%s': value truncated or not convertible "
                               L"(status %d), written as NULL",
                               table_name.c_str(), static_cast<unsigned long long>(record_no),
                               c.pwszName ? c.pwszName : L"", static_cast<int>(l.status));
            }
        }
    } catch (...) {
        rowset->ReleaseRows(obtained, handles, nullptr, nullptr, nullptr);
        throw;
    }
    rows_fetched += rows_obtained;
    odb_check(rowset->ReleaseRows(obtained, handles, nullptr, nullptr, nullptr));
    tk_logger::log(1, "End of odb_recordset::fill_cache");
}

void odb_recordset::clean_cache()
{
    tk_logger::log(2, "odb_recordset::clean_cache(rows_obtaind=%d)", static_cast<int>(rows_obtained));
    // A record holding a value's stream is not kept: the stream may hold the source open.
    for (size_t k = 0; k < cache_size; ++k) {
        if (cache[k] && !accessor.has_streams) spare[k] = std::move(cache[k]);
        cache[k].reset();
    }
    rows_obtained = 0;
    tk_logger::log(2, "odb_recordset::clean_cache - END");
}

void odb_recordset::reset()
{
    tk_logger::log(1, "odb_table::reset");
    if (rowset.empty()) return;
    // Only a rowset that has moved goes back; the cache is emptied either way.
    if (row_no != 0 || local_pos != 0 || rows_fetched != 0) odb_check(rowset->RestartPosition(DB_NULL_HCHAPTER));
    clean_cache();
    row_no = 0;
    local_pos = 0;
    rows_fetched = 0;
    fill_cache();
}

void odb_recordset::next()
{
    tk_logger::log(1, "odb_table::next(%d)", static_cast<int>(local_pos));
    if (!cache[0]) throw tk_mail_assertion("..\\MSS/odb_recs", 79);
    if (local_pos + 1 < rows_obtained) {
        ++local_pos;
    } else {
        clean_cache();
        fill_cache();
        local_pos = 0;
    }
    ++row_no;
}

udb_record* odb_recordset::get_item()
{
    tk_logger::log(1, "odb_recordset::get_item(local_pos=%d, rows_obtaind=%d)", static_cast<int>(local_pos),
                   static_cast<int>(rows_obtained));
    if (local_pos < rows_obtained && cache[local_pos]) {
        odb_record* record = cache[local_pos].get();
        if (refuse_lost_values && !record->lost.empty()) {
            const odb_record::lost_value& l = record->lost.front();
            const DBCOLUMNINFO& c = columns[l.column];
            throw udb_value_exception(c.pwszName ? c.pwszName : L"",
                                      L"the value could not be read whole from the source (status " +
                                          std::to_wstring(l.status) + L"); the record was not written");
        }
        return record;
    }
    throw tk_mail_assertion("..\\MSS/odb_recs", 100);
}

bool odb_recordset::is_eof()
{
    tk_logger::log(1, "odb_recordset::is_eof(%d)", static_cast<int>(rows_obtained));
    return rowset.empty() || rows_obtained == 0;
}

void odb_recordset::append_record(udb_record*) { throw tk_mail_assertion("odb_recs", 55); }
