// mss_table: writing rows into a SQL Server table, by bulk insert or by
// INSERT statements, and updating rows by key.
#include <algorithm>
#include <cstring>

#include "MSS/CSeqStream.h"
#include "MSS/mss_engine.h"
#include "MSS/mss_fl_failed_exception.h"
#include "MSS/mss_sql_text.h"
#include "MSS/mss_table.h"
#include "MSS/mss_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "UDB/udb_custom_conversion.h"

namespace {

const char* const k_structure_error = "The structure of data source does not conform to the destination table.";

bool is_null_value(const ole_variant& v) { return v.value.vt == VT_EMPTY || v.value.vt == VT_NULL; }

bool is_binary_vt(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY; }

// The longest prefix of a UTF-8 text that fits `bytes` without cutting a character.
std::string utf8_prefix(const std::string& s, size_t bytes)
{
    if (s.size() <= bytes) return s;
    size_t n = bytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

} // namespace

void mss_table::append_record(udb_record* record)
{
    tk_logger::log(1, "mss_table::append_record(schema size=%d, record size=%d", static_cast<int>(schema.size()),
                   record ? static_cast<int>(record->size()) : -1);
    if (!record || record->size() != schema.size()) throw tk_exception(k_structure_error, 0);
    convert_record(*record);
    const mss_engine* e = mss_engine::find();
    if (e && e->fast_load && !b_fl_failed) {
        try {
            fast_append(record);
            return;
        } catch (const mss_fl_failed_exception&) {
            tk_logger::log(2, "Got mss_fl_failed_exception, switch to slow_append");
            b_fl_failed = true;
        }
    }
    slow_record(record);
}

void mss_table::slow_record(udb_record* record)
{
    tk_logger::log(1, "mss_table::slow_record(schema size=%d, record size=%d", static_cast<int>(schema.size()),
                   record ? static_cast<int>(record->size()) : -1);
    if (!record || schema.empty() || record->empty()) return;
    if (record->size() != schema.size()) throw tk_exception(k_structure_error, 0);
    std::wstring columns, values;
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& column = schema[i];
        if (!record->find_field(column.name)) {
            tk_logger::log(2, L"Field %s not found", column.name.c_str());
            throw tk_exception(k_structure_error, 0);
        }
        const udb_field& field = record->find_field(column.name, udb_record::field_ref);
        if (i) {
            columns += L", ";
            values += L", ";
        }
        columns += sql_ident(column.name);
        values += mss_get_fld_append_str(&field, &column);
    }
    std::wstring sql;
    if (b_identity) sql = L"SET IDENTITY_INSERT " + table_name + L" ON;";
    sql += L"INSERT INTO " + table_name + L"(" + columns + L")" + L" VALUES( " + values + L")";
    tk_logger::log(1, L"Run SQL query: %s\n", sql.c_str());
    if (b_identity) identity_on_ = true;
    command.execute(sql);
    ++record_count;
}

void mss_table::update(udb_record* record)
{
    tk_logger::log(1, "mss_table::update(n_u_index=%d)", static_cast<int>(key_pos));
    if (!record || key_pos < 0 || static_cast<size_t>(key_pos) >= indexes.size()) {
        tk_logger::log(1, "There's no primary/unique key");
        return;
    }
    tk_logger::log(1, "indexes.size=%d", static_cast<int>(indexes.size()));
    const udb_index& key = indexes[static_cast<size_t>(key_pos)];
    std::wstring set_list, where_list;
    for (const auto& field : record->fields) {
        if (!field) continue;
        tk_logger::log(1, L"Process field: %s", field->name.c_str());
        const int32_t idx = schema.get_field_idx(field->name);
        if (idx < 0) {
            tk_logger::log(1, L"Field '%s' is not found in schema", field->name.c_str());
            continue;
        }
        const t_ftd& column = schema[static_cast<size_t>(idx)];
        const std::wstring item = sql_ident(field->name) + L"=" + mss_get_fld_append_str(field.get(), &column);
        if (std::find(key.fields.begin(), key.fields.end(), field->name) == key.fields.end()) {
            tk_logger::log(1, L"Field %s is NOT a part of UKey", field->name.c_str());
            set_list += (set_list.empty() ? L"" : L", ") + item;
        } else {
            tk_logger::log(1, L"Field %s is a part of UKey", field->name.c_str());
            where_list += (where_list.empty() ? L"" : L" AND ") + item;
        }
    }
    const std::wstring sql = L"UPDATE " + table_name + L" SET " + set_list + L" WHERE " + where_list;
    tk_logger::log(1, L"UPDATE QUERY: %s", sql.c_str());
    // Nothing to set is not an UPDATE either: "SET  WHERE" is no statement.
    if (where_list.empty() || set_list.empty()) {
        tk_logger::log(1, "Missing primary/unique key");
        return;
    }
    command.execute(sql);
}

void mss_table::fast_append(udb_record* record)
{
    tk_logger::log(1, "mss_table::fast_append");
    if (!loader.b_open) {
        if (FAILED(loader.open_table(session.p, table_name, schema, b_identity))) {
            tk_logger::log(2, "Failed to open table for fast_append, switch to slow_append");
            throw mss_fl_failed_exception();
        }
        std::wstring sql = L"SET QUOTED_IDENTIFIER OFF; ";
        if (b_identity) sql += L"SET IDENTITY_INSERT " + table_name + L" ON; ";
        command.execute(sql);
        if (b_identity) identity_on_ = true;
    }
    for (size_t i = 0; i < record->size() && i < schema.size(); ++i) bind_field((*record)[i], i);
    loader.insert_data();
}

void mss_table::bind_field(const udb_field& field, size_t i)
{
    const DBORDINAL ordinal = i + 1;
    const t_ftd& column = schema[i];
    tk_logger::log(1, "Field %d has vartype=%d", static_cast<int>(i), static_cast<int>(field.get_type()));
    const DBTYPE type = loader.bound_type(ordinal);
    if (type == DBTYPE_EMPTY) return;
    ole_variant value = field;
    if (is_null_value(value)) {
        if (!column.b_not_null) {
            loader.bind_data3(nullptr, 0, ordinal);
            return;
        }
        try {
            if (!is_null_value(column.default_value) && !column.default_value.to_wstring().empty()) {
                value = column.default_value;
            } else if (column.vartype == VT_BSTR) {
                value = ole_variant(std::wstring());
            } else {
                value = ole_variant(0);
            }
            value.change_type(column.vartype);
        } catch (const tk_exception&) {
            loader.bind_data3(nullptr, 0, ordinal);
            return;
        }
    }
    switch (type) {
    case DBTYPE_I2: {
        const SHORT v = static_cast<SHORT>(value.to_long());
        tk_logger::log(1, "Got VT_I1/2: %d", v);
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_I4: {
        const int32_t v = value.to_long();
        tk_logger::log(1, "Got VT_UI2/I4: %d", v);
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_R8: {
        const double v = value.to_double();
        tk_logger::log(1, "Got VT_R4/8: %lg", v);
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_CY: {
        value.change_type(VT_CY);
        const LONGLONG v = value.value.cyVal.int64;
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_BOOL: {
        const VARIANT_BOOL v = value.to_bool() ? VARIANT_TRUE : VARIANT_FALSE;
        tk_logger::log(1, "Got VT_BOOL: %d", v);
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_UI1: {
        const BYTE v = static_cast<BYTE>(value.to_long());
        tk_logger::log(1, "Got VT_UI1: %d", v);
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_I8: {
        const LONGLONG v = value.to_i8();
        tk_logger::log(1, "Got VT_I8");
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_UI8: {
        const ULONGLONG v = value.to_ui8();
        tk_logger::log(1, "Got VT_UI8");
        loader.bind_data2(&v, sizeof v, ordinal);
        return;
    }
    case DBTYPE_DBDATE:
    case DBTYPE_DBTIME2:
    case DBTYPE_DBTIMESTAMP: {
        if (value.value.vt != VT_DATE) value.change_type(VT_DATE);
        const SYSTEMTIME& t = value.date_parts;
        if (t.wYear < 1753) tk_logger::log(1, "Found 0000-00-00 date");
        const ULONG fraction = static_cast<ULONG>(t.wMilliseconds) * 1000000u;
        if (type == DBTYPE_DBDATE) {
            tk_logger::log(1, "Processing pure date in MS SQL 2008+ way");
            const DBDATE d{static_cast<SHORT>(t.wYear), t.wMonth, t.wDay};
            loader.bind_data2(&d, sizeof d, ordinal);
        } else if (type == DBTYPE_DBTIME2) {
            tk_logger::log(1, "Processing pure time in MS SQL 2008+ way");
            const DBTIME2 d{t.wHour, t.wMinute, t.wSecond, fraction};
            loader.bind_data2(&d, sizeof d, ordinal);
        } else {
            const DBTIMESTAMP d{static_cast<SHORT>(t.wYear), t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, fraction};
            tk_logger::log(1, "ts.hour=%d, ts.minute=%d, ts.second=%d", d.hour, d.minute, d.second);
            loader.bind_data2(&d, sizeof d, ordinal);
        }
        return;
    }
    case DBTYPE_NUMERIC: {
        tk_logger::log(1, "Got VT_DECIMAL");
        const DBBINDING* b = loader.accessor.binding(ordinal);
        const int precision = b ? b->bPrecision : 0, scale = b ? b->bScale : 0;
        tk_logger::log(1, "Schema prec/scale: %d/%d", precision, scale);
        if (value.value.vt == VT_DECIMAL) {
            std::wstring text = value.to_wstring();
            tk_logger::log(1, L"Binding as wstring: '%s'", text.c_str());
            if (!check_dec_str_prec_scale(text, precision, scale)) {
                tk_logger::log(3, L"Decimal value %s does not conform to precision/scale", text.c_str());
                text = L"0";
            }
            DB_NUMERIC n{};
            if (!mss_numeric_from_text(text, static_cast<BYTE>(precision), static_cast<BYTE>(scale), n)) {
                tk_logger::log(3, "mss_table::fast_append. Conversion error. Decimal type. Column#: %d",
                               static_cast<int>(ordinal));
                throw tk_exception("Cannot cast types.", 0);
            }
            loader.bind_data3(&n, sizeof n, ordinal);
        } else {
            const double v = value.to_double();
            tk_logger::log(1, "Binding as double: %lg", v);
            loader.bind_data1(v, ordinal);
        }
        return;
    }
    default:
        break;
    }

    // Binary values go through a stream over their bytes.
    if (is_binary_vt(value.value.vt) || is_binary_vt(column.vartype)) {
        BYTE* data = nullptr;
        const size_t n = value.get_bytes(&data);
        CSeqStream* stream = new CSeqStream();
        if (n && FAILED(stream->Write(data, static_cast<ULONG>(n), nullptr))) {
            stream->Release();
            throw tk_exception("The value cannot be handed to the server.", 0);
        }
        loader.bind_stream(stream, ordinal);
        return;
    }

    tk_logger::log(1, "Convert as a string");
    std::wstring text;
    if (udb_custom_conversion::is_acceptable2(field)) {
        tk_logger::log(1, "Custom conversion is acceptable");
        text = udb_custom_conversion::handle2(field);
        text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::wstring();
    } else {
        text = value.to_wstring();
        tk_logger::log(1, L"str=%s", text.c_str());
    }
    const DBCOLUMNINFO* info = loader.accessor.column_info(ordinal);
    const bool ansi_column = info && info->wType == DBTYPE_STR;
    tk_logger::log(1, L"dbtype=%d, native_type='%s'", static_cast<int>(type), column.native_type.c_str());
    if (type == DBTYPE_IUNKNOWN) {
        tk_logger::log(1, "Binding via CSeqStream");
        CSeqStream* stream = new CSeqStream();
        HRESULT hr = S_OK;
        size_t bytes = 0;
        // The stream carries the column's own encoding: UTF-8 for a narrow column.
        if (ansi_column) {
            tk_logger::log(1, "MAPPING WSTRING->STRING");
            const std::string narrow = to_utf8(text);
            bytes = narrow.size();
            if (bytes) hr = stream->Write(narrow.data(), static_cast<ULONG>(bytes), nullptr);
        } else {
            bytes = text.size() * sizeof(WCHAR);
            if (bytes) hr = stream->Write(text.data(), static_cast<ULONG>(bytes), nullptr);
        }
        if (FAILED(hr)) {
            stream->Release();
            throw tk_exception("The value cannot be handed to the server.", 0);
        }
        tk_logger::log(1, "%d bytes processed", static_cast<int>(bytes));
        loader.bind_stream(stream, ordinal);
        return;
    }
    const DBLENGTH room = loader.bound_length(ordinal);
    if (type == DBTYPE_STR) {
        const std::string narrow = utf8_prefix(to_utf8(text), room > 0 ? room - 1 : 0);
        tk_logger::log(1, "Binding ANSI string: expected size=%d, actual size=%d", static_cast<int>(room),
                       static_cast<int>(narrow.size()));
        tk_logger::log(1, "String value=%s", narrow.c_str());
        loader.bind_data3(narrow.c_str(), narrow.size(), ordinal);
        return;
    }
    const size_t chars = std::min<size_t>(text.size(), room / sizeof(WCHAR) > 0 ? room / sizeof(WCHAR) - 1 : 0);
    tk_logger::log(1, "Binding UNICODE string: expected size=%d, actual size=%d", static_cast<int>(room),
                   static_cast<int>(chars * sizeof(WCHAR)));
    loader.bind_data3(text.data(), chars * sizeof(WCHAR), ordinal);
}
