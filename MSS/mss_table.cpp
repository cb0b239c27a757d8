#include "MSS/mss_table.h"
#include "MSS/mss_default_function.h"

#include <cwctype>
#include <exception>
#include <memory>

#include "MSS/mss_engine.h"
#include "MSS/mss_split_tab_name.h"
#include "MSS/mss_sql_text.h"
#include "MSS/mss_util.h"
#include "MSS/odb_exception.h"
#include "OLE/ole_date.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"

namespace {

std::wstring text_at(udb_record* rec, size_t i)
{
    if (!rec || i >= rec->size()) return std::wstring();
    return (*rec)[i].to_wstring();
}

long long_at(udb_record* rec, size_t i)
{
    if (!rec || i >= rec->size()) return 0;
    const udb_field& f = (*rec)[i];
    if (f.get_type() == VT_EMPTY || f.get_type() == VT_NULL) return 0;
    return f.to_long();
}

bool ends_with(const std::wstring& s, const std::wstring& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool equal_no_case(const std::wstring& a, const wchar_t* b)
{
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

// Position of the ')' that closes the '(' at `open`, skipping quoted text.
size_t matching_paren(const std::wstring& s, size_t open)
{
    int depth = 0;
    bool quoted = false;
    for (size_t i = open; i < s.size(); ++i) {
        const wchar_t c = s[i];
        if (c == L'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == L'(')
            ++depth;
        else if (c == L')' && --depth == 0)
            return i;
    }
    return std::wstring::npos;
}

// Removes outer parentheses that enclose the whole text, pair by pair.
std::wstring strip_outer_parens(std::wstring s)
{
    while (s.size() >= 2 && s.front() == L'(' && matching_paren(s, 0) == s.size() - 1) s = s.substr(1, s.size() - 2);
    return s;
}

// 'text' or N'text' (quotes still doubled inside); true when it was one.
bool strip_literal_quotes(std::wstring& s)
{
    if (s.size() >= 3 && (s[0] == L'N' || s[0] == L'n') && s[1] == L'\'' && s.back() == L'\'') {
        s = s.substr(2, s.size() - 3);
        return true;
    }
    if (s.size() >= 2 && s.front() == L'\'' && s.back() == L'\'') {
        s = s.substr(1, s.size() - 2);
        return true;
    }
    return false;
}

std::wstring undouble_quotes(const std::wstring& s)
{
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        out += s[i];
        if (s[i] == L'\'' && i + 1 < s.size() && s[i + 1] == L'\'') ++i;
    }
    return out;
}

} // namespace

mss_table::mss_table(const std::wstring& name, IOpenRowset* s, uint32_t m, udb_relationships* rels)
    : odb_table(name, s, static_cast<int32_t>(m), rels), command(s)
{
    tk_logger::log(1, L"mss_table::ctor1(%s)", name.c_str());
    refuse_lost_values = true;
    init_schema();
    std::wstring table, owner;
    tk_logger::log(1, "mss_table::split_tab_name");
    mss_split_tab_name(table_name, table, owner);
    read_identity(table, owner);
    if ((m & 0x60u) != 0x60u) {
        try {
            if (mss_engine::ref().version == 100) {
                tk_logger::log(1, "Alternate init_indexes for SQL Azure");
                init_indexes2(table, owner);
            } else {
                init_indexes(table, owner);
            }
        } catch (const odb_exception& e) {
            tk_logger::log(3, "Error while init_indexes: %s", e.what());
        }
        try {
            init_index_filters(table, owner);
        } catch (const odb_exception& e) {
            // A server before 2008 has no filtered indexes and no column for them.
            tk_logger::log(2, "No index filters: %s", e.what());
        }
    }
    if ((m & 0x01u) == 0) find_identity();
}

mss_table::mss_table(const std::wstring& name, const std::wstring& q, IOpenRowset* s, uint32_t m,
                     udb_relationships* rels)
    : odb_table(name, q, s, static_cast<int32_t>(m), rels), command(s)
{
    tk_logger::log(1, L"mss_table::ctor2(%s)", name.c_str());
    refuse_lost_values = true;
}

mss_table::mss_table(const std::wstring& name, IOpenRowset* s, const std::vector<std::shared_ptr<t_ftd>>& columns,
                     udb_relationships* rels)
    : odb_table(name, s, mode_no_rowset, rels), command(s)
{
    tk_logger::log(1, L"mss_table::ctor3(%s)", name.c_str());
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i]->b_auto_num && !b_identity) {
            tk_logger::log(1, "Auto-increment found: field #%d", static_cast<int>(i));
            b_identity = true;
        }
        schema.push_back(columns[i]);
    }
}

mss_table::~mss_table()
{
    try {
        finish();
    } catch (const std::exception& e) {
        tk_logger::log(3, "%s", e.what());
    } catch (...) {
        tk_logger::log(3, "Internal error:\n%s", "unknown failure while closing a table");
    }
}

void mss_table::finish()
{
    if (finished_) return;
    finished_ = true;
    const mss_engine* e = mss_engine::find();
    const bool fast_load = e ? e->fast_load : true;
    tk_logger::log(1, "mss_table::dtor(b_identity=%d)", b_identity ? 1 : 0);
    tk_logger::log(1, "fast_load=%d", fast_load ? 1 : 0);
    // The bulk rows' last commit first; IDENTITY_INSERT goes off even when it fails.
    std::exception_ptr failure;
    if (loader.b_open) {
        try {
            loader.close_table();
        } catch (const tk_exception&) {
            failure = std::current_exception();
        }
    }
    if (b_identity && (!fast_load || identity_on_)) {
        tk_logger::log(1, "setting IDENTITY_INSERT -> OFF");
        command.execute(L"SET IDENTITY_INSERT " + table_name + L" OFF;");
        identity_on_ = false;
    }
    if (failure) std::rethrow_exception(failure);
}

void mss_table::find_identity()
{
    for (size_t i = 0; i < schema.size(); ++i)
        if (schema[i].b_auto_num) {
            tk_logger::log(1, "Auto-increment found: field #%d", static_cast<int>(i));
            b_identity = true;
            return;
        }
}

void mss_table::read_identity(const std::wstring& table, const std::wstring& owner)
{
    std::wstring sql =
        L"SELECT NAME AS COLUMNNAME,CAST(LAST_VALUE AS INT),CAST(INCREMENT_VALUE AS INT) FROM "
        L"SYS.IDENTITY_COLUMNS WHERE OBJECT_NAME(OBJECT_ID)=" +
        sql_literal(table);
    if (!owner.empty()) sql += L" AND OBJECT_SCHEMA_NAME(OBJECT_ID)=" + sql_literal(owner);
    try {
        ole_com_ptr<IRowset> rs;
        command.execute(sql, &rs);
        odb_recordset rows(rs.p);
        rows.reset();
        if (rows.is_eof()) return;
        udb_record* r = rows.get_item();
        const long last = long_at(r, 1);
        const long inc = long_at(r, 2);
        if (last == 1 && inc == 1) return;
        schema.seed = static_cast<int32_t>(last);
        schema.increment = static_cast<int32_t>(inc);
        tk_logger::log(1, "Autoincrement: seed=%d, increment=%d", static_cast<int>(schema.seed),
                       static_cast<int>(schema.increment));
    } catch (const odb_exception& e) {
        tk_logger::log(3, "Failed to exract auto_increment properties: %s", e.what());
    }
}

void mss_table::init_schema()
{
    tk_logger::log(1, "mss_table::init_schema");
    std::wstring table, owner;
    mss_split_tab_name(table_name, table, owner);
    std::wstring sql = L"EXEC sp_columns @table_name=" + sql_ident(table);
    if (!owner.empty()) sql += L", @table_owner=" + sql_ident(owner);
    tk_logger::log(1, "schema.size()=%d", static_cast<int>(schema.size()));
    if (schema.empty()) return;
    ole_com_ptr<IRowset> rs;
    command.execute(sql, &rs);
    odb_recordset rows(rs.p);
    size_t matched = 0;
    for (rows.reset(); !rows.is_eof() && matched < schema.size(); rows.next()) {
        udb_record* r = rows.get_item();
        // The procedure's arguments are LIKE patterns: keep this table's rows only.
        if (text_at(r, 2) != table || (!owner.empty() && text_at(r, 1) != owner)) continue;
        ++matched;
        const std::wstring col_name = text_at(r, 3);
        const std::wstring type_name = text_at(r, 5);
        tk_logger::log(1, L"Got field name/type: %s/%s", col_name.c_str(), type_name.c_str());
        if (!schema.find_field(col_name)) continue;
        t_ftd& ftd = schema.get_field1(col_name);
        const std::wstring def = text_at(r, 12);
        ftd.source_default = def;
        if (!def.empty()) {
            tk_logger::log(1, L"Got default string: %s", def.c_str());
            const ole_variant value = get_def_value(ftd, def);
            const std::wstring value_text = value.to_wstring();
            tk_logger::log(1, L"Got default variant: %s", value_text.c_str());
            if (ftd.vartype == VT_BSTR && value_text.size() > ftd.size) {
                tk_logger::log(2, L"Def.value '%s' is out of range", value_text.c_str());
            } else {
                ftd.default_value = value;
                const VARTYPE vt = value.value.vt;
                if (ftd.vartype == VT_DATE && (vt == VT_BSTR || vt == VT_LPWSTR)) {
                    tk_logger::log(1, "Tuning for DATE functions as def.values");
                    ftd.dw_reserved = t_ftd::hint_date_function;
                }
            }
        }
        ftd.b_auto_num = ends_with(type_name, L"identity");
        tk_logger::log(1, "ftd.b_auto_num=%d", ftd.b_auto_num ? 1 : 0);
        if (ftd.vartype == VT_DECIMAL) {
            ftd.dw_reserved = static_cast<uint32_t>(long_at(r, 6)) * 256u + static_cast<uint32_t>(long_at(r, 8));
            tk_logger::log(1, ">>> reserved=%d", static_cast<int>(ftd.dw_reserved));
        }
    }
}

ole_variant mss_table::get_def_value(const t_ftd& field, const std::wstring& src)
{
    tk_logger::log(1, L"mss_table::get_def_value(type=0x%08X, src='%s')", static_cast<unsigned>(field.vartype),
                   src.c_str());
    tk_logger::log(1, "Before removing round brackets, pos0=%d, size=%d", 0, static_cast<int>(src.size()));
    std::wstring text = strip_outer_parens(src);
    tk_logger::log(1, L"mss_table::get_def_value - buf=[%s]", text.c_str());
    const std::wstring function = mss_default_function(src);
    // A new GUID, and a date function on a column of dates, have an Oracle expression of the same meaning.
    const bool guid_column = field.vartype == VT_BSTR && field.dw_reserved == t_ftd::hint_bstr_guid;
    if (!function.empty() && (function == L"newid()" ? guid_column : field.vartype == VT_DATE)) {
        tk_logger::log(1, L"Default function %s", function.c_str());
        return ole_variant(function);
    }
    if (field.vartype != VT_DATE) {
        const bool literal = strip_literal_quotes(text);
        if (!literal && !mss_is_number_literal(text)) {
            // A function call or expression has no value of its own to copy.
            tk_logger::log(3, L"Column '%s': default '%s' is not a constant, it is not converted", field.name.c_str(),
                           src.c_str());
            return ole_variant();
        }
        if (literal) text = undouble_quotes(text);
        try {
            return ole_variant::from_wstring(text, field.vartype);
        } catch (const tk_exception&) {
            return ole_variant();
        }
    }
    if (strip_literal_quotes(text)) text = undouble_quotes(text);
    if (text.size() > 1 && text.front() == L'(' && text.back() == L')') text = text.substr(1, text.size() - 2);
    if (equal_no_case(text, L"getdate()") || equal_no_case(text, L"getutcdate()")) {
        tk_logger::log(1, "Special processing for get...date()");
        return ole_variant(text);
    }
    const ole_date date(text);
    if (date.is_valid()) return date.to_variant();
    return ole_variant();
}
