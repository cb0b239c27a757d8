#include "ORA/ora_lob_insert.h"

#include <algorithm>
#include <functional>

#include "OLE/ole_long_value.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_text.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "UDB/udb_value_exception.h"

namespace {

constexpr VARTYPE vt_byte_array = VT_ARRAY | VT_UI1;

// The bytes of a value bound for a BLOB; a value of another type is converted first.
std::vector<unsigned char> ora_field_bytes(const ole_variant& field)
{
    const VARTYPE vt = field.value.vt;
    if (vt == VT_EMPTY || vt == VT_NULL) return {};
    ole_variant copy(field);
    if (vt != vt_byte_array) copy.change_type(vt_byte_array);
    BYTE* data = nullptr;
    const size_t n = copy.get_bytes(&data);
    if (n == 0 || !data) return {};
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
        if (loc) OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

void ora_lob_insert::init()
{
    tk_logger::log(1, "ora_lob_insert::init(ld.size()=%d)", static_cast<int>(ld.size()));
    ora_engine& eng = ora_eng();
    locators.assign(ld.size(), nullptr);
    for (size_t i = 0; i < ld.size(); ++i) {
        void* d = nullptr;
        eng.check_err(OCIDescriptorAlloc(eng.get_env(), &d, OCI_DTYPE_LOB, 0, nullptr));
        locators[i] = static_cast<OCILobLocator*>(d);
        tk_logger::log(1, "ld[%d].idx=%d, ld[%d].idx_in=%d, ld[%d].vt=%d", static_cast<int>(i),
                       static_cast<int>(ld[i].idx), static_cast<int>(i), static_cast<int>(ld[i].idx_in),
                       static_cast<int>(i), static_cast<int>(ld[i].vt));
    }
    defines.assign(ld.size(), nullptr);
    if (ld.empty()) return;
    select_sql = L"SELECT ";
    for (size_t k = 0; k < ld.size(); ++k) {
        if (k) select_sql += L", ";
        select_sql += L"\"" + ld[k].name + L"\"";
    }
    select_sql += L" FROM " + ora_engine::get_safe_name(table_name) + L" WHERE ROWID = :rid FOR UPDATE";
    eng.check_err(stmt.prepare(select_sql));
    for (size_t k = 0; k < ld.size(); ++k) {
        const ub2 type = ld[k].vt == VT_BSTR ? SQLT_CLOB : SQLT_BLOB;
        // A null handle: OCI makes the define, once for this prepare.
        defines[k] = nullptr;
        eng.check_err(OCIDefineByPos(stmt.get(), &defines[k], eng.get_err(), static_cast<ub4>(k + 1), &locators[k],
                                     static_cast<sb4>(sizeof(OCILobLocator*)), type, nullptr, nullptr, nullptr,
                                     OCI_DEFAULT));
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
    ora_engine& eng = ora_eng();
    // The bind handle made for the first row takes this row's ROWID.
    ora_to_u16(rowid, rowid16);
    static const std::u16string placeholder = u":rid";
    eng.check_err(OCIBindByName(stmt.get(), &rowid_bind, eng.get_err(), ora_oci_text(placeholder),
                                static_cast<sb4>(placeholder.size() * sizeof(char16_t)), rowid16.data(),
                                static_cast<sb4>(rowid16.size() * sizeof(char16_t)), SQLT_CHR, nullptr, nullptr,
                                nullptr, 0, nullptr, OCI_DEFAULT));
    tk_logger::log(2, L"Run SQL query: %s (:rid = '%s')\n", select_sql.c_str(), rowid.c_str());
    eng.check_err(OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_DEFAULT));
    // The execute brought the row's locators; the next row's execute closes
    // this cursor, so no fetch (a round trip of its own) is spent on its end.

    // The caller commits the row together with these values, or rolls it back.
    for (size_t k = 0; k < ld.size(); ++k) {
        try {
            if (ld[k].vt == VT_BSTR)
                write_clob(k, record);
            else
                write_blob(k, record);
        } catch (const ora_exception& e) {
            throw ora_exception(static_cast<int32_t>(e.ora_number()),
                                "Column \"" + to_utf8(ld[k].name) + "\": " + e.message);
        } catch (const udb_value_exception&) {
            throw;
        } catch (const tk_exception& e) {
            throw udb_value_exception(ld[k].name, to_unicode(e.message, -1));
        }
    }
    tk_logger::log(1, "ora_insert::insert - at the END");
}

ub1 ora_lob_insert::locator_form(size_t k)
{
    // NCLOB takes its text in the national form, CLOB in the database's:
    // Oracle refuses a write in the other one.
    ora_engine& eng = ora_eng();
    ub1 form = SQLCS_IMPLICIT;
    eng.check_err(OCILobCharSetForm(eng.get_env(), eng.get_err(), locators[k], &form));
    return form;
}

template <class Piece, class Next>
bool ora_lob_insert::write_pieces(size_t k, ub2 csid, ub1 form, Next next)
{
    ora_engine& eng = ora_eng();
    Piece cur = next();
    if (cur.empty()) return false;
    ub1 piece = OCI_FIRST_PIECE;
    uint64_t total = 0;
    for (;;) {
        Piece ahead = next();
        if (ahead.empty()) piece = piece == OCI_FIRST_PIECE ? OCI_ONE_PIECE : OCI_LAST_PIECE;
        // The amount of a value sent in pieces is unknown at its start: 0 streams
        // until the last piece.
        ub4 amount = piece == OCI_ONE_PIECE ? static_cast<ub4>(cur.size()) : 0;
        const ub4 bytes = static_cast<ub4>(cur.size() * sizeof(cur[0]));
        const sword status = OCILobWrite(eng.get_svc(), eng.get_err(), locators[k], &amount, 1, cur.data(), bytes,
                                         piece, nullptr, nullptr, csid, form);
        total += cur.size();
        if (piece == OCI_ONE_PIECE || piece == OCI_LAST_PIECE) {
            eng.check_err(status);
            break;
        }
        if (status != OCI_NEED_DATA) {
            eng.check_err(status);
            throw ora_exception(0, "OCILobWrite did not ask for the next piece");
        }
        cur = std::move(ahead);
        piece = OCI_NEXT_PIECE;
    }
    tk_logger::log(1, "LOB size=%llu", static_cast<unsigned long long>(total));
    return true;
}

void ora_lob_insert::write_clob(size_t k, const udb_record& record)
{
    tk_logger::log(1, "ora_lob_insert::write_clob");
    const udb_field& field = record.at(ld[k].idx_in);
    const VARTYPE vt = field.get_type();
    // The environment is UTF-16: each piece goes as UTF-16 code units and the
    // amount counts those units. A piece is cut between wide characters, so
    // no surrogate pair is split.
    std::function<std::u16string()> next;
    std::wstring whole;
    const wchar_t* text = nullptr;
    size_t length = 0;
    size_t pos = 0;
    if (ole_long_value* lv = ole_long_value::of(field); lv && lv->is_text()) {
        next = [lv] { return ora_to_u16(lv->read_text(lob_piece_chars)); };
    } else {
        if (vt == VT_BSTR) {
            text = field.value.bstrVal;
            length = text ? SysStringLen(field.value.bstrVal) : 0;
        } else if (vt != VT_EMPTY && vt != VT_NULL) {
            whole = ole_long_value::of(field) ? ole_long_value::of(field)->read_all().to_wstring() : field.to_wstring();
            text = whole.data();
            length = whole.size();
        }
        next = [&] {
            const size_t n = std::min(lob_piece_chars, length - pos);
            std::u16string piece = ora_to_u16(std::wstring_view(text + pos, n));
            pos += n;
            return piece;
        };
    }
    if (!write_pieces<std::u16string>(k, OCI_UTF16ID, locator_form(k), next))
        tk_logger::log(1, "Got empty CLOB - skip it");
}

void ora_lob_insert::write_blob(size_t k, const udb_record& record)
{
    tk_logger::log(1, "ora_lob_insert::write_blob(i=%d)", static_cast<int>(k));
    tk_logger::log(1, "r.size()=%d", static_cast<int>(record.size()));
    tk_logger::log(1, "ld[i].idx=%d", static_cast<int>(ld[k].idx));
    const udb_field& field = record.at(ld[k].idx_in);
    tk_logger::log(1, "r[ld[i].idx_in]->type=%d", static_cast<int>(field.get_type()));

    std::function<std::vector<unsigned char>()> next;
    std::vector<unsigned char> whole;
    const BYTE* data = nullptr;
    size_t length = 0;
    size_t pos = 0;
    ole_long_value* lv = ole_long_value::of(field);
    if (lv && !lv->is_text()) {
        next = [lv] { return lv->read_bytes(lob_piece_bytes); };
    } else {
        if (field.get_type() == vt_byte_array) {
            BYTE* p = nullptr;
            length = field.get_bytes(&p);
            data = p;
        } else {
            whole = lv ? ora_field_bytes(lv->read_all()) : ora_field_bytes(field);
            data = whole.data();
            length = whole.size();
        }
        if (!data) length = 0;
        next = [&] {
            const size_t n = std::min(lob_piece_bytes, length - pos);
            std::vector<unsigned char> piece(data + pos, data + pos + n);
            pos += n;
            return piece;
        };
    }
    // A BLOB has no character set form; OCI ignores the argument for it.
    if (!write_pieces<std::vector<unsigned char>>(k, 0, SQLCS_IMPLICIT, next))
        tk_logger::log(1, "Got empty BLOB - skip it");
    tk_logger::log(1, "ora_lob_insert::write_blob - at the end");
}
