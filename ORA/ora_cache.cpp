#include "ORA/ora_cache.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "ORA/ora_engine.h"
#include "ORA/ora_lob_insert.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_table.h"
#include "ORA/ora_text.h"
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

constexpr VARTYPE vt_byte_array = VT_ARRAY | VT_UI1;
// Room for a 64-bit integer written in decimal, as UTF-16 with its terminator.
constexpr uint32_t int64_text_size = 22 * sizeof(char16_t);

bool is_int32_type(VARTYPE vt)
{
    switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

// A decimal too long for a DECIMAL travels as its exact text; a double slot takes its nearest double.
double number_of(const udb_field& field)
{
    if (field.get_type() == VT_BSTR) return std::wcstod(field.to_wstring().c_str(), nullptr);
    return field.to_double();
}

bool is_binary_type(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == vt_byte_array; }

// Element size and external type of a bound column. 64-bit integers go as
// decimal text (a double would lose digits above 2^53) and short binary
// columns as hexadecimal text, which the server turns into RAW.
std::pair<uint32_t, ub2> bind_spec(const t_ftd& f)
{
    if (f.vartype == VT_I8 || f.vartype == VT_UI8) return {int64_text_size, SQLT_STR};
    if (is_binary_type(f.vartype)) return {f.size * 4 + 2, SQLT_STR};
    const uint32_t len = get_ora_len(f);
    const ub2 type = get_ora_type(f);
    if (len && type) return {len, type};
    const uint32_t chars = f.size ? f.size : 4000;
    return {chars * 2 + 2, SQLT_STR};
}

void put_text(unsigned char* slot, uint32_t element_size, const std::wstring& text)
{
    std::memset(slot, 0, element_size);
    std::u16string u = ora_to_u16(text);
    // One unit stays free for the terminator.
    const size_t max_units = element_size / sizeof(char16_t);
    if (max_units == 0) return;
    if (u.size() > max_units - 1) u.resize(max_units - 1);
    std::memcpy(slot, u.data(), u.size() * sizeof(char16_t));
}

} // namespace

ora_cache::bind_buffer::bind_buffer(uint32_t element_size, ub2 type)
    : data(static_cast<size_t>(batch_size) * element_size, 0),
      indicators(batch_size, 0),
      element_size(element_size),
      type(type)
{}

ora_cache::ora_cache(const std::wstring& table_name, ora_table* table) : table(table), table_name(table_name)
{
    tk_logger::log(2, L"ora_cache::ctor(%s)", table_name.c_str());
    tk_logger::log(1, "p_table=%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(table)));
    init(table_name);
}

ora_cache::~ora_cache()
{
    tk_logger::log(1, "ora_cache::dtor(n_records=%d)", static_cast<int>(rows));
    try {
        flush();
    } catch (const std::exception& e) {
        tk_logger::log(3, "ora_cache::dtor: %s", e.what());
    }
}

void ora_cache::init(const std::wstring& name)
{
    tk_logger::log(1, L"ora_cache::init(%s)", name.c_str());
    if (!buffers.empty()) {
        tk_logger::log(1, "data.size == 0, nothing to do");
        return;
    }
    const udb_schema& schema = table->schema;
    std::wstring text = L"INSERT /*+ APPEND */ INTO " + ora_engine::get_safe_name(name) + L" (";
    std::wstring values = L" VALUES(";
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& f = schema[i];
        const bool lob = table->is_lob(i);
        if (i) {
            text += L", ";
            values += L", ";
        }
        text += L"\"" + f.name + L"\"";
        if (lob) {
            tk_logger::log(2, L"Field '%s' stored into v_blob_desc (type=%d)", f.name.c_str(),
                           static_cast<int>(f.vartype));
            v_blob_desc.emplace_back(static_cast<uint32_t>(i), static_cast<uint32_t>(v_blob_desc.size()), f.vartype,
                                     f.name);
            values += f.vartype == VT_BSTR ? L"EMPTY_CLOB() " : L"EMPTY_BLOB() ";
            continue;
        }
        const auto [len, type] = bind_spec(f);
        tk_logger::log(1, "Field #%d has size=%d", static_cast<int>(i), static_cast<int>(len));
        buffers.emplace(static_cast<uint32_t>(i), bind_buffer(len, type));
        values += L":" + std::to_wstring(buffers.size());
    }
    lob_data_init();
    buffers.emplace(static_cast<uint32_t>(schema.size()), bind_buffer(rowid_size, SQLT_STR));
    values += L")" + std::wstring(L" RETURNING ROWID INTO :") + std::to_wstring(buffers.size());
    sql = text + L")" + values;
    tk_logger::log(1, L"sql_query=%s", sql.c_str());
    ora_eng().check_err(stmt.prepare(sql));
    bind();
}

void ora_cache::bind()
{
    tk_logger::log(1, "ora_cache::bind");
    ora_engine& eng = ora_eng();
    ub4 n = 0;
    for (auto& [key, buf] : buffers) {
        ++n;
        tk_logger::log(1, "Bind item #%d: type=%d, size=%d", static_cast<int>(n), static_cast<int>(buf.type),
                       static_cast<int>(buf.element_size));
        eng.check_err(OCIBindByPos(stmt.get(), &buf.bind, eng.get_err(), n, buf.data.data(),
                                   static_cast<sb4>(buf.element_size), buf.type, buf.indicators.data(), nullptr,
                                   nullptr, 0, nullptr, OCI_DEFAULT));
        // National text goes in the national form: the database character set may lack its characters.
        if (buf.type == SQLT_STR && key < table->schema.size() && table->is_national(key)) {
            ub1 form = SQLCS_NCHAR;
            eng.check_err(OCIAttrSet(buf.bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, eng.get_err()));
        }
    }
}

void ora_cache::append_record(const udb_record& record)
{
    tk_logger::log(1, "ora_cache::append_record(size=%d)", static_cast<int>(record.size()));
    udb_schema& schema = table->schema;
    // Fields are taken by position.
    if (record.size() < schema.size())
        throw tk_exception("The structure of data source does not conform to the destination table.", 0);
    const uint32_t r = rows;
    for (auto& [key, buf] : buffers) {
        if (key >= schema.size()) continue; // the ROWID
        const udb_field& field = record[key];
        const VARTYPE vt = field.get_type();
        tk_logger::log(1, "Field #%d has type=%d", static_cast<int>(key), static_cast<int>(vt));
        if (vt == VT_EMPTY || vt == VT_NULL) {
            tk_logger::log(1, "Put NULL/empty-field");
            if (schema[key].b_not_null) {
                tk_logger::log(1, "Remove NOTNULL flag");
                table->reset_not_null_flag(key);
            }
            buf.indicators[r] = -1;
            std::memset(buf.slot(r), 0, buf.element_size);
            continue;
        }
        buf.indicators[r] = 0;
        copy_field(field, r, key);
    }
    lob_data_copy(record);
    ++rows;
    if (rows >= batch_size) commit();
}

void ora_cache::copy_field(const udb_field& field, uint32_t row, uint32_t i)
{
    tk_logger::log(1, "ora_cache::copy_field(%d)", static_cast<int>(i));
    if (!table) throw tk_mail_assertion("ora_cache", 389);
    const t_ftd& f = table->schema[i];
    bind_buffer& buf = buffers.at(i);
    unsigned char* slot = buf.slot(row);
    tk_logger::log(1, L"name=%s, type=%d", f.name.c_str(), static_cast<int>(f.vartype));

    if (buf.type == SQLT_INT && is_int32_type(f.vartype)) {
        const int32_t v = static_cast<int32_t>(field.to_long());
        std::memcpy(slot, &v, sizeof(v));
    } else if (f.vartype == VT_R4 && buf.type == SQLT_FLT) {
        const float v = static_cast<float>(number_of(field));
        std::memcpy(slot, &v, sizeof(v));
    } else if (f.vartype == VT_R8 && buf.type == SQLT_BDOUBLE) {
        const double v = number_of(field);
        std::memcpy(slot, &v, sizeof(v));
    } else if (f.vartype == VT_DATE && buf.type == SQLT_ODT) {
        std::memset(slot, 0, buf.element_size);
        SYSTEMTIME st{};
        bool valid = false;
        try {
            ole_variant v(field);
            if (v.value.vt != VT_DATE) v.change_type(VT_DATE);
            v.get_systemtime(st);
            valid = st.wYear != 0;
        } catch (const tk_exception&) {
            valid = false;
        }
        if (!valid) {
            // Year 0 would fail the whole batch: the value goes as NULL.
            buf.indicators[row] = -1;
            return;
        }
        OCIDate d{};
        d.OCIDateYYYY = static_cast<sb2>(st.wYear);
        d.OCIDateMM = static_cast<ub1>(st.wMonth);
        d.OCIDateDD = static_cast<ub1>(st.wDay);
        d.OCIDateTime.OCITimeHH = static_cast<ub1>(st.wHour);
        d.OCIDateTime.OCITimeMI = static_cast<ub1>(st.wMinute);
        d.OCIDateTime.OCITimeSS = static_cast<ub1>(st.wSecond);
        std::memcpy(slot, &d, std::min<size_t>(sizeof(d), buf.element_size));
    } else if (f.vartype == VT_I8 || f.vartype == VT_UI8) {
        const std::wstring text = f.vartype == VT_I8 ? std::to_wstring(field.to_i8()) : std::to_wstring(field.to_ui8());
        tk_logger::log(1, L"Got VT_I8/VT_UI8: %s", text.c_str());
        put_text(slot, buf.element_size, text);
    } else if (is_binary_type(f.vartype)) {
        ole_variant v(field);
        if (v.value.vt != vt_byte_array) v.change_type(vt_byte_array);
        BYTE* data = nullptr;
        const size_t n = v.get_bytes(&data);
        static const wchar_t digits[] = L"0123456789ABCDEF";
        std::wstring hex;
        for (size_t k = 0; k < n && data; ++k) {
            hex.push_back(digits[data[k] >> 4]);
            hex.push_back(digits[data[k] & 0xF]);
        }
        if (hex.empty()) {
            buf.indicators[row] = -1;
            std::memset(slot, 0, buf.element_size);
            return;
        }
        put_text(slot, buf.element_size, hex);
    } else {
        std::wstring text = to_oracle_str(field.to_wstring(), f.vartype, false);
        tk_logger::log(1, L"src=%s", text.c_str());
        tk_logger::log(1, "sz=%d, src.length=%d", static_cast<int>(buf.element_size), static_cast<int>(text.size()));
        if (text.empty() && f.b_not_null) {
            tk_logger::log(2, "Change '' to ' ' to avoid NULL-interpretation");
            text = L" ";
        }
        if (text.empty()) {
            buf.indicators[row] = -1;
            std::memset(slot, 0, buf.element_size);
            return;
        }
        put_text(slot, buf.element_size, text);
    }
}

void ora_cache::flush()
{
    if (rows) commit();
}

void ora_cache::commit()
{
    tk_logger::log(1, "ora_cache::commit");
    if (!rows) return;
    ora_engine& eng = ora_eng();
    try {
        eng.check_err(OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), rows, 0, nullptr, nullptr, OCI_DEFAULT));
        lob_data_insert();
        eng.check_err(OCITransCommit(eng.get_svc(), eng.get_err(), OCI_DEFAULT));
    } catch (...) {
        // The batch is dropped, so that later rows start in slot 0 again.
        tk_logger::log(3, "ora_cache::commit: %d rows dropped", static_cast<int>(rows));
        OCITransRollback(eng.get_svc(), eng.get_err(), OCI_DEFAULT);
        rows = 0;
        lob_data_clear();
        throw;
    }
    rows = 0;
}

void ora_cache::lob_data_init()
{
    tk_logger::log(1, "ora_cache::lob_data_init");
    if (v_blob_desc.empty()) {
        tk_logger::log(1, "v_blob_desc.empty");
        return;
    }
    lob_data.clear();
    lob_data.resize(batch_size);
}

void ora_cache::lob_data_copy(const udb_record& record)
{
    tk_logger::log(1, "ora_cache::lob_data_copy");
    if (v_blob_desc.empty()) {
        tk_logger::log(2, "data.size == 0, nothing to do");
        return;
    }
    udb_record& entry = lob_data.at(rows);
    entry.clear();
    tk_logger::log(1, "Building LOB data...");
    for (size_t k = 0; k < v_blob_desc.size(); ++k) {
        const t_lob_desc& d = v_blob_desc[k];
        auto copy = std::make_unique<udb_field>(record.at(d.idx));
        tk_logger::log(1, "LOB[%d].vt=%d, v_blob_desc[%d].vt=%d", static_cast<int>(k),
                       static_cast<int>(copy->get_type()), static_cast<int>(k), static_cast<int>(d.vt));
        const VARTYPE vt = copy->get_type();
        if (d.vt == VT_BSTR && vt != VT_BSTR && vt != VT_EMPTY && vt != VT_NULL) copy->change_type(VT_BSTR);
        entry.push_back(std::move(copy));
    }
}

void ora_cache::lob_data_insert()
{
    tk_logger::log(1, "ora_cache::lob_data_insert");
    if (v_blob_desc.empty()) {
        tk_logger::log(1, "v_blob_desc is empty, nothing to do");
        return;
    }
    const bind_buffer& rowids = buffers.at(static_cast<uint32_t>(table->schema.size()));
    ora_lob_insert lob(table_name, v_blob_desc);
    for (uint32_t r = 0; r < rows; ++r) {
        const auto* text = reinterpret_cast<const char16_t*>(rowids.data.data() + static_cast<size_t>(r) * rowid_size);
        const std::wstring rowid = ora_from_u16(text, ora_u16_len(text, rowid_size / sizeof(char16_t)));
        lob.insert(rowid, lob_data[r]);
        lob_nulls_set(rowid, lob_data[r]);
    }
    lob_data_clear();
}

void ora_cache::lob_nulls_set(const std::wstring& rowid, const udb_record& values)
{
    // The statement put an empty LOB in every LOB column; a NULL value must not stay one.
    std::wstring set;
    for (size_t k = 0; k < v_blob_desc.size() && k < values.size(); ++k) {
        const VARTYPE vt = values[k].get_type();
        if (vt != VT_EMPTY && vt != VT_NULL) continue;
        const uint32_t i = v_blob_desc[k].idx;
        if (i < table->schema.size() && table->schema[i].b_not_null) table->reset_not_null_flag(i);
        set += (set.empty() ? L"\"" : L", \"") + v_blob_desc[k].name + L"\" = NULL";
    }
    if (set.empty()) return;
    const std::wstring sql =
        L"UPDATE " + ora_engine::get_safe_name(table_name) + L" SET " + set + L" WHERE ROWID='" + rowid + L"'";
    tk_logger::log(2, L"Run SQL query: %s\n", sql.c_str());
    ora_stmt stmt;
    stmt.run(sql, 1, OCI_COMMIT_ON_SUCCESS);
}

void ora_cache::lob_data_clear()
{
    tk_logger::log(1, "ora_cache::lob_data_clear");
    for (udb_record& r : lob_data) r.clear();
}
