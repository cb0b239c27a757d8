// ora_table: what the Oracle catalog says about the table (columns, defaults,
// keys, indexes, foreign keys that reference it).
#include <algorithm>

#include "ORA/ora_database.h"
#include "ORA/ora_date_processor.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_table.h"
#include "ORA/ora_util.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "UDB/udb_name_compare.h"

namespace {

// A name inside '...': every quote doubled.
std::wstring sq(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        out.push_back(c);
        if (c == L'\'') out.push_back(L'\'');
    }
    return out;
}

std::wstring dq(const std::wstring& name) { return L"\"" + name + L"\""; }

std::wstring field_text(const udb_record& r, size_t i)
{
    if (i >= r.size()) return std::wstring();
    const VARTYPE vt = r[i].get_type();
    if (vt == VT_EMPTY || vt == VT_NULL) return std::wstring();
    return r[i].to_wstring();
}

// One integer from a COUNT query, on a statement of its own.
uint32_t count_query(const std::wstring& sql)
{
    ora_engine& eng = ora_eng();
    ora_stmt stmt;
    eng.check_err(stmt.prepare(sql));
    sb4 value = 0;
    OCIDefine* def = nullptr;
    eng.check_err(OCIDefineByPos(stmt.get(), &def, eng.get_err(), 1, &value, sizeof(value), SQLT_INT, nullptr, nullptr,
                                 nullptr, OCI_DEFAULT));
    const sword st = OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_DEFAULT);
    eng.check_err(st);
    if (st == OCI_NO_DATA || value < 0) return 0;
    return static_cast<uint32_t>(value);
}

// TIMESTAMP(n) reads like the TIMESTAMP keys of the supported-type table.
bool is_plain_timestamp(const std::wstring& type)
{
    if (type.size() < 12 || type.compare(0, 10, L"TIMESTAMP(") != 0 || type.back() != L')') return false;
    for (size_t i = 10; i + 1 < type.size(); ++i)
        if (type[i] < L'0' || type[i] > L'9') return false;
    return true;
}

// TIMESTAMP(n) WITH TIME ZONE: fetched as a TIMESTAMP, written with its offset.
bool is_timestamp_tz(const std::wstring& type)
{
    const std::wstring zone = L" WITH TIME ZONE";
    if (type.size() <= zone.size() || type.compare(type.size() - zone.size(), zone.size(), zone) != 0) return false;
    const std::wstring head = type.substr(0, type.size() - zone.size());
    return head == L"TIMESTAMP" || is_plain_timestamp(head);
}

} // namespace

uint32_t ora_table::get_columns_cnt()
{
    ora_engine& eng = ora_eng();
    const std::wstring sql =
        L"SELECT COUNT(*) FROM " + eng.get_col_view_name() + L" WHERE " + eng.get_table_cond(table_name);
    tk_logger::log(1, L"Query=%s", sql.c_str());
    return count_query(sql);
}

std::wstring ora_table::get_safe_select_query(uint32_t& count)
{
    ora_engine& eng = ora_eng();
    const std::wstring sql =
        L"SELECT COLUMN_NAME, DATA_TYPE FROM " + eng.get_col_view_name() + L" WHERE " + eng.get_table_cond(table_name);
    const ora_engine::type_map& supported = ora_engine::get_ora_supported_types();
    std::wstring list;
    bool left_out = false;
    ora_query_results rows(2, sql);
    while (!rows.is_eof()) {
        udb_record* r = rows.get_item();
        if (!r) break;
        const std::wstring name = field_text(*r, 0);
        const std::wstring type = field_text(*r, 1);
        tk_logger::log(1, L"GOT field '%s' with type '%s'", name.c_str(), type.c_str());
        // TIMESTAMP(n) of any precision is fetched like TIMESTAMP(6); leaving
        // it out would drop its values from a merge without a word.
        if (supported.count(type) || is_plain_timestamp(type) || is_timestamp_tz(type)) {
            if (!list.empty()) list += L",";
            list += dq(name);
        } else {
            tk_logger::log(3, L"Table '%s': column '%s' has unsupported type '%s', skip it", table_name.c_str(),
                           name.c_str(), type.c_str());
            if (count > 0) --count;
            left_out = true;
        }
    }
    if (left_out) return L"SELECT " + list + L" FROM " + ora_engine::get_safe_name(table_name);
    return L"SELECT * FROM " + ora_engine::get_safe_name(table_name);
}

void ora_table::init_schema()
{
    tk_logger::log(2, "ora_table::init_schema");
    // What rows were planned and written with follows the schema read here.
    plan.reset();
    lob_writer.reset();
    ora_engine& eng = ora_eng();
    const bool for_query = is_query();
    uint32_t count = for_query ? 0 : get_columns_cnt();
    tk_logger::log(1, "Got %d columns", static_cast<int>(count));
    const std::wstring select = for_query ? query : get_safe_select_query(count);
    tk_logger::log(1, "Right before extract DB structure");
    initialize(count, select);
    if (for_query) return;

    const std::wstring sql = L"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from " + eng.get_col_view_name() +
                             L" where " + eng.get_table_cond(table_name);
    tk_logger::log(1, L"query(3)=%s", sql.c_str());
    {
        ora_query_results rows(3, sql);
        while (!rows.is_eof()) {
            udb_record* r = rows.get_item();
            if (!r) break;
            const std::wstring name = field_text(*r, 0);
            const std::wstring def = field_text(*r, 1);
            const std::wstring type = field_text(*r, 2);
            tk_logger::log(1, L"Got field '%s'", name.c_str());
            catalog_types.emplace_back(name, type);
            const int32_t idx = schema.get_field_idx(name);
            if (idx < 0) {
                tk_logger::log(1, "Field not found in schema");
                continue;
            }
            t_ftd& f = schema[static_cast<size_t>(idx)];
            tk_logger::log(1, "field size=%d", static_cast<int>(f.size));
            tk_logger::log(1, L"Got default string: %s (eye=%d, type=%d)", def.c_str(), static_cast<int>(idx),
                           static_cast<int>(f.vartype));
            if (f.vartype == VT_DATE && udb_same_name(tk_trim(def), L"sysdate")) {
                tk_logger::log(1, "Processing 'sysdate' def.value");
                f.default_value = ole_variant(std::wstring(L"sysdate"));
                f.dw_reserved = t_ftd::hint_date_function;
            } else {
                f.default_value = get_def_value(f.vartype, def);
                tk_logger::log(1, L"Got default variant: %s", f.default_value.to_wstring().c_str());
            }
            if (type == L"NVARCHAR2" || type == L"NCHAR") {
                tk_logger::log(1, "Tuning field size for NCHAR/NVARCHAR (eye=%d)", static_cast<int>(idx));
                const uint32_t holder_size =
                    static_cast<size_t>(idx) < holders.size() ? holders[static_cast<size_t>(idx)]->get_size() : 0;
                f.size = (holder_size ? holder_size : f.size) / 2;
                tk_logger::log(1, "New field size=%d", static_cast<int>(f.size));
            } else if (type == L"LONG" || type == L"CLOB" || type == L"NCLOB" || type == L"BLOB" ||
                       is_timestamp_tz(type)) {
                // A LOB's catalog size is no limit: the merge check must know the kind; an offset is
                // written only into a column that keeps it.
                f.native_type = type;
            }
        }
    }

    const std::wstring comments = L"select COLUMN_NAME, COMMENTS from " +
                                  std::wstring(eng.b_owned_by_user ? L"USER_COL_COMMENTS" : L"ALL_COL_COMMENTS") +
                                  L" where " + eng.get_table_cond(table_name);
    tk_logger::log(1, L"query(4)=%s", comments.c_str());
    try {
        ora_query_results rows(2, comments);
        while (!rows.is_eof()) {
            udb_record* r = rows.get_item();
            if (!r) break;
            const std::wstring name = field_text(*r, 0);
            const std::wstring text = field_text(*r, 1);
            if (text.empty()) continue;
            tk_logger::log(1, L"Column '%s' has comment '%s'", name.c_str(), text.c_str());
            schema.set_field_comment(name, text);
        }
    } catch (const tk_exception& e) {
        tk_logger::log(1, "Error while processing column comments:\n%s\n", e.what());
    }
}

ole_variant ora_table::get_def_value(VARTYPE vt, const std::wstring& src)
{
    tk_logger::log(1, L"ora_table::get_def_value(type=0x%08X, src=%s)", static_cast<unsigned>(vt), src.c_str());
    std::wstring text = tk_trim(src);
    bool quoted = false;
    if (text.size() > 1 && text.front() == L'\'' && text.back() == L'\'') {
        tk_logger::log(1, "Removing quotes");
        text = text.substr(1, text.size() - 2);
        quoted = true;
        tk_logger::log(1, L"After removing quotes: %s", text.c_str());
    }
    if (vt == VT_BSTR && !quoted) {
        tk_logger::log(1, "Incorrect/empty/null default value for VT_BSTR");
        return ole_variant();
    }
    if (vt == VT_DATE) {
        const ora_date_processor* dp = ora_date_processor::find();
        if (!dp) return ole_variant();
        text = dp->get_canonized_str(text);
        if (text.empty()) return ole_variant();
    }
    if (text.empty() && vt != VT_BSTR) return ole_variant();
    std::wstring unq;
    for (size_t i = 0; i < text.size(); ++i) {
        unq.push_back(text[i]);
        if (text[i] == L'\'' && i + 1 < text.size() && text[i + 1] == L'\'') ++i;
    }
    try {
        return ole_variant::from_wstring(unq, vt);
    } catch (const tk_exception&) {
        return ole_variant();
    }
}

void ora_table::init_indexes(int mode)
{
    tk_logger::log(1, "ora_table::init_indexes(mode=%d)", mode);
    if ((mode & mode_no_indexes) == mode_no_indexes) {
        tk_logger::log(1, "Indexes are OFF, nothing to do");
        return;
    }
    ora_engine& eng = ora_eng();
    const bool owned = eng.b_owned_by_user;
    const std::wstring name = sq(ora_simplify_name(table_name));
    const std::wstring owner = sq(eng.get_owner_and_table(table_name).first);

    // Primary key, its columns in key order.
    std::wstring pk_name;
    std::vector<std::wstring> pk_fields;
    const std::wstring pk_count_sql =
        owned ? L"SELECT count(*) FROM user_constraints WHERE table_name='" + name + L"' AND constraint_type='P'"
              : L"SELECT count(*) FROM all_constraints WHERE " + eng.get_table_cond(table_name) +
                    L" AND constraint_type='P'";
    if (count_query(pk_count_sql) == 0) {
        tk_logger::log(1, "No Primary Key found");
    } else {
        const std::wstring sql =
            owned ? L"SELECT DISTINCT a.constraint_name, a.column_name, a.position FROM user_cons_columns a, "
                    L"user_constraints b WHERE a.table_name='" +
                        name +
                        L"' AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY "
                        L"a.constraint_name, a.position"
                  : L"SELECT DISTINCT a.constraint_name, a.column_name, a.position FROM all_cons_columns a, "
                    L"all_constraints b WHERE " +
                        eng.get_table_cond(table_name, L"a.owner", L"a.table_name") +
                        L" AND a.owner=b.owner AND a.constraint_name=b.constraint_name AND b.constraint_type='P' "
                        L"ORDER BY a.constraint_name, a.position";
        ora_query_results rows(0, sql);
        while (!rows.is_eof()) {
            udb_record* r = rows.get_item();
            if (!r) break;
            pk_name = field_text(*r, 0);
            const std::wstring col = field_text(*r, 1);
            tk_logger::log(1, L"Got primary key '%s'", pk_name.c_str());
            if (!schema.find_field(col)) {
                tk_logger::log(1, L"PK field '%s' not found - skip it", col.c_str());
                continue;
            }
            pk_fields.push_back(col);
        }
        if (!pk_fields.empty()) add_index(udb_index(pk_name, true, true, pk_fields));
    }

    // Indexes, their columns in key order.
    const bool v8 = eng.get_version() >= 0x080000;
    const std::wstring ix = owned ? L"user_indexes" : L"all_indexes";
    const std::wstring ic = owned ? L"user_ind_columns" : L"all_ind_columns";
    std::wstring sql = L"SELECT DISTINCT " + ix + L".index_name, " + ix + L".uniqueness, " + ic + L".column_name, " +
                       ic + L".column_position FROM " + ic + L", " + ix + L" where ";
    if (owned)
        sql += ic + L".table_name = '" + name + L"'";
    else
        sql += eng.get_table_cond(table_name, ic + L".table_owner", ic + L".table_name");
    if (v8) sql += L" AND " + ix + L".generated='N'";
    if (!owned) sql += L" AND " + ic + L".index_owner = " + ix + L".owner";
    sql += L" AND " + ic + L".index_name = " + ix + L".index_name AND " + ic + L".table_name = " + ix +
           L".table_name ORDER BY " + ix + L".index_name, " + ic + L".column_position";
    {
        ora_query_results rows(0, sql);
        while (!rows.is_eof()) {
            udb_record* r = rows.get_item();
            if (!r) break;
            const std::wstring idx_name = field_text(*r, 0);
            const bool unique = udb_same_name(field_text(*r, 1), L"UNIQUE");
            const std::wstring col = field_text(*r, 2);
            tk_logger::log(1, L"Got index '%s' (unique=%d)", idx_name.c_str(), unique ? 1 : 0);
            if (!schema.find_field(col)) {
                tk_logger::log(1, L"Index field '%s' not found - skip it", col.c_str());
                continue;
            }
            if (!indexes.find2(idx_name)) {
                add_index(udb_index(idx_name, unique, false, {col}));
                continue;
            }
            udb_index& known = indexes.get_index(idx_name);
            if (known.b_primary) {
                tk_logger::log(1, "Skip Primary Key DoubleInitialization");
                continue;
            }
            known.fields.push_back(col);
        }
    }

    // Foreign keys of other tables that reference this primary key.
    if (mode & mode_no_fks) {
        tk_logger::log(1, "FKs are OFF, nothing to do");
        return;
    }
    if (pk_name.empty()) {
        tk_logger::log(1, "pk_name is empty, cannot create FKs");
        return;
    }
    if (!p_relationships) return;
    const std::wstring pk = sq(pk_name);
    const std::wstring fk_count_sql =
        owned ? L"select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='" + pk + L"' and CONSTRAINT_TYPE='R'"
              : L"select count(*) from ALL_CONSTRAINTS where R_CONSTRAINT_NAME='" + pk +
                    L"' and CONSTRAINT_TYPE='R' and R_OWNER='" + owner + L"'";
    if (count_query(fk_count_sql) == 0) {
        tk_logger::log(1, "No foreign keys found");
        return;
    }
    const std::wstring fk_sql =
        owned ? L"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, "
                L"USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
                L"a.R_CONSTRAINT_NAME='" +
                    pk + L"'"
              : L"select concat(concat(a.OWNER,'.'),a.TABLE_NAME),a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME "
                L"FROM ALL_CONSTRAINTS a, ALL_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and "
                L"a.OWNER=b.OWNER and a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME='" +
                    pk + L"' and a.R_OWNER='" + owner + L"'";
    ora_query_results rows(0, fk_sql);
    while (!rows.is_eof()) {
        udb_record* r = rows.get_item();
        if (!r) break;
        const std::wstring child = field_text(*r, 0);
        const std::wstring fk_name = field_text(*r, 1);
        const std::wstring rule = field_text(*r, 2);
        const std::wstring col = field_text(*r, 3);
        tk_logger::log(1, L"GOT FK: %s,%s,%s,%s", child.c_str(), fk_name.c_str(), rule.c_str(), col.c_str());
        if (p_relationships->is_acceptable_name(fk_name)) {
            p_relationships->push_back(udb_relationship(fk_name, pk_name, child, table_name, {col}, pk_fields,
                                                        rule.empty() ? std::wstring() : L"ON DELETE " + rule));
            continue;
        }
        udb_relationship& known = p_relationships->get_index(fk_name);
        if (std::find(known.child_fields.begin(), known.child_fields.end(), col) == known.child_fields.end())
            known.child_fields.push_back(col);
    }
}
