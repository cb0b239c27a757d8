#include "ORA/ora_lob_insert.h"

#include <algorithm>

#include "ORA/ora_engine.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_text.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace {

constexpr VARTYPE vt_byte_array = VT_ARRAY | VT_UI1;

// The bytes of a value bound for a BLOB; a value of another type is converted first.
std::vector<unsigned char> ora_field_bytes(const udb_field& field)
{
    const VARTYPE vt = field.get_type();
    if (vt == VT_EMPTY || vt == VT_NULL)
        return {};
    ole_variant copy(field);
    if (vt != vt_byte_array)
        copy.change_type(vt_byte_array);
    BYTE* data = nullptr;
    const size_t n = copy.get_bytes(&data);
    if (n == 0 || !data)
        return {};
    return std::vector<unsigned char>(data, data + n);
}

} // namespace

bool ora_is_lob_column(const t_ftd& ftd)
{
    const bool lob_type = ftd.vartype == VT_BSTR || ftd.vartype == VT_BLOB || ftd.vartype == vt_byte_array;
    return lob_type && (ftd.size == 0 || ftd.size > 2000) && ftd.native_type != L"LONG";
}

ora_lob_insert::ora_lob_insert(const std::wstring& table_name, const udb_schema& schema) : table_name(table_name)
{
    tk_logger::log(1, "ora_lob_insert::ctor(2)");
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& f = schema[i];
        tk_logger::log(1, L"Processing '%s': vt=%d, size=%d", f.name.c_str(), static_cast<int>(f.vartype),
                       static_cast<int>(f.size));
        if (ora_is_lob_column(f)) {
            tk_logger::log(1, L"GOT LOB FIELD '%s'", f.name.c_str());
            ld.emplace_back(static_cast<uint32_t>(i), static_cast<uint32_t>(i), f.vartype, f.name);
        }
    }
    init();
}

ora_lob_insert::ora_lob_insert(const std::wstring& table_name, const std::vector<t_lob_desc>& descs)
    : table_name(table_name), ld(descs)
{
    tk_logger::log(1, "ora_lob_insert::ctor(1)");
    init();
}

ora_lob_insert::~ora_lob_insert()
{
    for (OCILobLocator* loc : locators)
        if (loc)
            OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

void ora_lob_insert::init()
{
    tk_logger::log(1, "ora_lob_insert::init(ld.size()=%d)", static_cast<int>(ld.size()));
    ora_engine& eng = ora_eng();
    defines.assign(ld.size(), nullptr);
    locators.assign(ld.size(), nullptr);
    for (size_t i = 0; i < ld.size(); ++i) {
        void* d = nullptr;
        eng.check_err(OCIDescriptorAlloc(eng.get_env(), &d, OCI_DTYPE_LOB, 0, nullptr));
        locators[i] = static_cast<OCILobLocator*>(d);
        tk_logger::log(1, "ld[%d].idx=%d, ld[%d].idx_in=%d, ld[%d].vt=%d", static_cast<int>(i),
                       static_cast<int>(ld[i].idx), static_cast<int>(i), static_cast<int>(ld[i].idx_in),
                       static_cast<int>(i), static_cast<int>(ld[i].vt));
    }
}

void ora_lob_insert::insert(const std::wstring& rowid, const udb_record& record)
{
    tk_logger::log(1, L"ora_lob_insert::insert(%s)", rowid.c_str());
    tk_logger::log(1, "ld.size()=%d", static_cast<int>(ld.size()));
    if (ld.empty()) {
        tk_logger::log(1, "Record has no LOBs - skip it");
        return;
    }
    std::wstring sql = L"SELECT ";
    for (size_t k = 0; k < ld.size(); ++k) {
        if (k)
            sql += L", ";
        sql += L"\"" + ld[k].name + L"\"";
    }
    sql += L" FROM " + ora_engine::get_safe_name(table_name) + L" WHERE ROWID='" + rowid + L"' FOR UPDATE";
    tk_logger::log(2, L"Run SQL query: %s\n", sql.c_str());

    ora_engine& eng = ora_eng();
    ora_stmt stmt;
    eng.check_err(stmt.prepare(sql));
    for (size_t k = 0; k < ld.size(); ++k) {
        const ub2 type = ld[k].vt == VT_BSTR ? SQLT_CLOB : SQLT_BLOB;
        eng.check_err(OCIDefineByPos(stmt.get(), &defines[k], eng.get_err(), static_cast<ub4>(k + 1), &locators[k],
                                     static_cast<sb4>(sizeof(OCILobLocator*)), type, nullptr, nullptr, nullptr,
                                     OCI_DEFAULT));
    }
    eng.check_err(OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_DEFAULT));

    // The row itself is already committed by its INSERT; its LOB values are
    // committed here, also when one of them fails, so that nothing written
    // waits for whatever the session runs next.
    try {
        for (size_t k = 0; k < ld.size(); ++k) {
            if (ld[k].vt == VT_BSTR)
                write_clob(k, record);
            else
                write_blob(k, record);
        }
    } catch (...) {
        OCITransCommit(eng.get_svc(), eng.get_err(), OCI_DEFAULT);
        throw;
    }
    eng.check_err(OCITransCommit(eng.get_svc(), eng.get_err(), OCI_DEFAULT));
    tk_logger::log(1, "ora_insert::insert - at the END");
}

void ora_lob_insert::write_clob(size_t k, const udb_record& record)
{
    tk_logger::log(1, "ora_lob_insert::write_clob");
    const udb_field& field = record.at(ld[k].idx_in);
    const VARTYPE vt = field.get_type();
    const std::wstring text = (vt == VT_EMPTY || vt == VT_NULL) ? std::wstring() : field.to_wstring();
    if (text.empty()) {
        tk_logger::log(1, "Got empty CLOB - skip it");
        return;
    }
    // The environment is UTF-16: the text goes as UTF-16 code units and the
    // amount counts those units.
    std::u16string data = ora_to_u16(text);
    tk_logger::log(1, "CLOB size=%d", static_cast<int>(data.size()));
    tk_logger::log(1, L"CLOB data='%s'", text.c_str());
    ora_engine& eng = ora_eng();
    ub4 amount = static_cast<ub4>(data.size());
    eng.check_err(OCILobWrite(eng.get_svc(), eng.get_err(), locators[k], &amount, 1, data.data(),
                              static_cast<ub4>(data.size() * sizeof(char16_t)), OCI_ONE_PIECE, nullptr, nullptr,
                              OCI_UTF16ID, SQLCS_IMPLICIT));
}

void ora_lob_insert::write_blob(size_t k, const udb_record& record)
{
    tk_logger::log(1, "ora_lob_insert::write_blob(i=%d)", static_cast<int>(k));
    tk_logger::log(1, "r.size()=%d", static_cast<int>(record.size()));
    tk_logger::log(1, "ld[i].idx=%d", static_cast<int>(ld[k].idx));
    const udb_field& field = record.at(ld[k].idx_in);
    tk_logger::log(1, "r[ld[i].idx_in]->type=%d", static_cast<int>(field.get_type()));

    std::vector<unsigned char> bytes = ora_field_bytes(field);
    if (bytes.empty()) {
        tk_logger::log(1, "Got empty BLOB - skip it");
        return;
    }
    tk_logger::log(1, "BLOB size=%d", static_cast<int>(bytes.size()));
    tk_logger::log(1, "%s", bin_to_hex(bytes.data(), std::min<size_t>(bytes.size(), 4)).c_str());
    ora_engine& eng = ora_eng();
    ub4 amount = static_cast<ub4>(bytes.size());
    eng.check_err(OCILobWrite(eng.get_svc(), eng.get_err(), locators[k], &amount, 1, bytes.data(),
                              static_cast<ub4>(bytes.size()), OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
    tk_logger::log(1, "ora_lob_insert::write_blob - at the end");
}
