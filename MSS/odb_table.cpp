#include "MSS/odb_table.h"

#include <cwchar>

#include "MSS/mss_split_tab_name.h"
#include "MSS/mss_sql_text.h"
#include "MSS/odb_command.h"
#include "MSS/odb_exception.h"
#include "MSS/odb_meta_data.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace {

std::wstring text_at(udb_record* rec, size_t i)
{
    if (!rec || i >= rec->size()) return std::wstring();
    return (*rec)[i].to_wstring();
}

bool bool_at(udb_record* rec, size_t i)
{
    if (!rec || i >= rec->size()) return false;
    const udb_field& f = (*rec)[i];
    if (f.get_type() == VT_EMPTY || f.get_type() == VT_NULL) return false;
    const std::wstring t = f.to_wstring();
    return t == L"1" || t == L"-1" || t == L"true" || t == L"True" || t == L"TRUE";
}

void replace_underscores(std::wstring& s)
{
    for (wchar_t& c : s)
        if (c == L'_') c = L' ';
}

std::wstring rule_text(const std::wstring& update, const std::wstring& del)
{
    std::wstring rule;
    if (!update.empty()) rule += L" ON UPDATE " + update;
    if (!del.empty()) rule += L" ON DELETE " + del;
    return rule;
}

} // namespace

odb_table::odb_table(const std::wstring& name, IOpenRowset* s, int32_t m, udb_relationships* rels)
    : odb_recordset(name, std::wstring()), session(s), relationships(rels), mode(m)
{
    tk_logger::log(2, L"odb_table::odb_table(%s,%d)", name.c_str(), static_cast<int>(mode));
    if (mode != mode_no_rowset) open_with_retry();
    record_count = get_records_cnt();
    tk_logger::log(2, "Got %d records", static_cast<int>(record_count));
}

odb_table::odb_table(const std::wstring& name, const std::wstring& q, IOpenRowset* s, int32_t m,
                     udb_relationships* rels)
    : odb_recordset(name, q), session(s), relationships(rels), mode(m)
{
    tk_logger::log(2, L"odb_table::odb_table(%s,%d)", name.c_str(), static_cast<int>(mode));
    tk_logger::log(1, L"sql=%s", q.c_str());
    if (mode != mode_no_rowset) open_with_retry();
    record_count = get_records_cnt();
    tk_logger::log(2, "Got %d records", static_cast<int>(record_count));
}

odb_table::~odb_table() { session.release(); }

void odb_table::open_with_retry()
{
    try {
        internal_initialize(mode);
    } catch (const odb_exception& e) {
        if ((e.code & 0xFFFFu) != 0x0E37u) throw;
        tk_logger::log(2, "Got table_not_exists error");
        std::wstring table, owner;
        mss_split_tab_name(table_name, table, owner);
        table_name = L"[dbo]." + sql_ident(table);
        internal_initialize(mode);
        tk_logger::log(2, L"Creating %s", table_name.c_str());
    }
}

void odb_table::internal_initialize(int32_t m)
{
    tk_logger::log(2, "odb_table::internal_initialize");
    // A retry starts from a clean description.
    clean_cache();
    schema.fields.clear();
    CoTaskMemFree(columns);
    CoTaskMemFree(column_names);
    columns = nullptr;
    column_names = nullptr;
    n_cols = 0;
    rowset.release();
    if (!is_query()) {
        std::wstring name = table_name;
        DBID id{};
        id.eKind = DBKIND_NAME;
        id.uName.pwszName = name.data();
        if ((m & 1) == 0) {
            tk_logger::log(2, "Open rowset in create/append mode");
            DBPROP props[2]{};
            props[0].dwPropertyID = DBPROP_IRowsetChange;
            props[0].dwOptions = DBPROPOPTIONS_REQUIRED;
            props[0].colid = DB_NULLID;
            VariantInit(&props[0].vValue);
            props[0].vValue.vt = VT_BOOL;
            props[0].vValue.boolVal = VARIANT_TRUE;
            props[1].dwPropertyID = DBPROP_UPDATABILITY;
            props[1].dwOptions = DBPROPOPTIONS_REQUIRED;
            props[1].colid = DB_NULLID;
            VariantInit(&props[1].vValue);
            props[1].vValue.vt = VT_I4;
            props[1].vValue.lVal = DBPROPVAL_UP_INSERT;
            DBPROPSET set{};
            set.guidPropertySet = DBPROPSET_ROWSET;
            set.cProperties = 2;
            set.rgProperties = props;
            odb_check(session->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 1, &set,
                                          reinterpret_cast<IUnknown**>(rowset.out())));
        } else {
            tk_logger::log(2, "Open rowset in read_only mode");
            odb_check(session->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr,
                                          reinterpret_cast<IUnknown**>(rowset.out())));
        }
    } else {
        odb_command cmd(session.p);
        cmd.execute(query, &rowset);
    }
    initialize();
}

uint32_t odb_table::get_records_cnt()
{
    tk_logger::log(1, "odb_table::get_records_cnt");
    const std::wstring sql =
        is_query() ? L"SELECT COUNT(*) FROM (" + query + L") as query" : L"SELECT COUNT(*) FROM " + table_name;
    try {
        odb_command cmd(session.p);
        ole_com_ptr<IRowset> rs;
        cmd.execute(sql, &rs);
        odb_recordset count(rs.p);
        count.reset();
        if (count.is_eof()) return 0;
        const std::wstring text = text_at(count.get_item(), 0);
        return static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 10));
    } catch (const odb_exception& e) {
        if (!is_query() || rowset.empty()) throw;
        tk_logger::log(3, L"Cannot count the rows of query '%s' (%s); counting them by reading", table_name.c_str(),
                       to_unicode(std::string(e.what())).c_str());
    }
    // Some valid queries cannot be a derived table (ORDER BY, CTEs, unnamed
    // columns): read them once, then start over.
    uint32_t n = 0;
    for (reset(); !is_eof(); next()) ++n;
    reset();
    return n;
}

void odb_table::init_indexes(const std::wstring& table, const std::wstring& owner)
{
    tk_logger::log(2, L"odb_table::init_indexes(%s,%s)", table.c_str(), owner.c_str());
    {
        odb_pk_meta_data pk(session.p, table, owner);
        std::wstring key_name;
        std::vector<std::wstring> key_cols;
        for (pk.reset(); !pk.is_eof(); pk.next()) {
            udb_record* r = pk.get_item();
            const std::wstring name = text_at(r, 7);
            if (key_cols.empty()) {
                key_name = name;
                tk_logger::log(2, L"Got pr.key: %s", key_name.c_str());
            } else if (name != key_name) {
                throw tk_mail_assertion("mss_tab", 162);
            }
            key_cols.push_back(text_at(r, 3));
        }
        if (!key_cols.empty()) add_index(udb_index(key_name, true, true, key_cols));
    }
    if (relationships) {
        odb_fk_meta_data fk(session.p, table, owner);
        for (fk.reset(); !fk.is_eof(); fk.next()) {
            udb_record* r = fk.get_item();
            const std::wstring name = text_at(r, 16);
            if (relationships->is_acceptable_name(name)) {
                tk_logger::log(2, L"GOT FOREIGN KEY: %s", name.c_str());
                const std::wstring update = text_at(r, 13);
                const std::wstring del = text_at(r, 14);
                tk_logger::log(1, L"update rule=%s, delete_rule=%s", update.c_str(), del.c_str());
                relationships->push_back(udb_relationship(name, text_at(r, 15), text_at(r, 8), text_at(r, 2),
                                                          {text_at(r, 9)}, {text_at(r, 3)}, rule_text(update, del)));
            } else {
                udb_relationship& rel = relationships->get_index(name);
                rel.parent_fields.push_back(text_at(r, 3));
                rel.child_fields.push_back(text_at(r, 9));
            }
        }
    }
    {
        odb_id_meta_data id(session.p, table, owner);
        for (id.reset(); !id.is_eof(); id.next()) {
            udb_record* r = id.get_item();
            const std::wstring name = text_at(r, 5);
            if (indexes.is_acceptable_name(name)) {
                tk_logger::log(2, L"Got index: %s", name.c_str());
                add_index(udb_index(name, bool_at(r, 7), bool_at(r, 6), {text_at(r, 17)}));
            } else {
                udb_index& idx = indexes.get_index(name);
                if (!idx.b_primary)
                    idx.fields.push_back(text_at(r, 17));
                else
                    tk_logger::log(2, "Skip Primary Key DoubleInitialization");
            }
        }
    }
}

void odb_table::init_index_filters(const std::wstring& table, const std::wstring& owner)
{
    tk_logger::log(2, L"odb_table::init_index_filters(%s,%s)", table.c_str(), owner.c_str());
    if (indexes.empty()) return;
    const std::wstring where =
        owner.empty() ? L"t.name = " + sql_literal(table)
                      : L"SCHEMA_NAME(t.schema_id)=" + sql_literal(owner) + L" AND t.name=" + sql_literal(table);
    const std::wstring sql =
        L"SELECT ind.name, ind.filter_definition FROM sys.indexes ind INNER JOIN sys.tables t ON "
        L"ind.object_id = t.object_id WHERE ind.has_filter = 1 AND " +
        where;
    odb_command cmd(session.p);
    ole_com_ptr<IRowset> rs;
    cmd.execute(sql, &rs);
    odb_recordset rows(rs.p);
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        udb_record* r = rows.get_item();
        const std::wstring name = text_at(r, 0);
        if (!indexes.find2(name)) continue;
        indexes.get_index(name).filter = text_at(r, 1);
        tk_logger::log(2, L"Index '%s' has the filter %s", name.c_str(), text_at(r, 1).c_str());
    }
}

void odb_table::init_indexes2(const std::wstring& table, const std::wstring& owner)
{
    tk_logger::log(2, L"odb_table::init_indexes2(%s,%s)", table.c_str(), owner.c_str());
    const std::wstring where = owner.empty() ? L"t.name = " + sql_literal(table) + L" AND t.is_ms_shipped = 0"
                                             : L"SCHEMA_NAME(t.schema_id)=" + sql_literal(owner) + L" AND t.name=" +
                                                   sql_literal(table) + L" AND t.is_ms_shipped=0";
    const std::wstring index_sql =
        L"SELECT      ind.name, col.name, ind.is_primary_key, ind.is_unique FROM      sys.indexes ind INNER JOIN      "
        L"sys.index_columns ic ON  ind.object_id = ic.object_id and ind.index_id = ic.index_id INNER JOIN      "
        L"sys.columns col ON ic.object_id = col.object_id and ic.column_id = col.column_id INNER JOIN      "
        L"sys.tables t ON ind.object_id = t.object_id WHERE      " +
        where + L" ORDER BY      t.name, ind.name, ind.index_id, ic.index_column_id";
    tk_logger::log(2, L"Index query: %s", index_sql.c_str());
    {
        odb_command cmd(session.p);
        ole_com_ptr<IRowset> rs;
        cmd.execute(index_sql, &rs);
        odb_recordset rows(rs.p);
        for (rows.reset(); !rows.is_eof(); rows.next()) {
            udb_record* r = rows.get_item();
            const std::wstring name = text_at(r, 0);
            if (indexes.is_acceptable_name(name)) {
                tk_logger::log(2, L"Got index: %s", name.c_str());
                add_index(udb_index(name, bool_at(r, 3), bool_at(r, 2), {text_at(r, 1)}));
            } else {
                indexes.get_index(name).fields.push_back(text_at(r, 1));
            }
        }
    }
    const std::wstring fk_where = owner.empty() ? L"tab1.name = " + sql_literal(table)
                                                : L"SCHEMA_NAME(tab1.schema_id)=" + sql_literal(owner) +
                                                      L" AND tab1.name = " + sql_literal(table);
    const std::wstring fk_sql =
        L"SELECT       obj.name, col1.name, tab2.name, col2.name,      fks.delete_referential_action_desc, "
        L"fks.update_referential_action_desc FROM      sys.foreign_keys fks INNER JOIN sys.foreign_key_columns fkc     "
        L" "
        L"ON fks.object_id = fkc.constraint_object_id INNER JOIN sys.objects obj     ON obj.object_id = "
        L"fkc.constraint_object_id INNER JOIN sys.tables tab1     ON tab1.object_id = fkc.parent_object_id INNER JOIN "
        L"sys.columns col1     ON col1.column_id = parent_column_id AND col1.object_id = tab1.object_id INNER JOIN "
        L"sys.tables tab2     ON tab2.object_id = fkc.referenced_object_id INNER JOIN sys.columns col2     ON "
        L"col2.column_id = referenced_column_id AND col2.object_id = tab2.object_id WHERE      " +
        fk_where + L" ORDER BY obj.name";
    tk_logger::log(2, L"FK query: %s", fk_sql.c_str());
    if (!relationships) return;
    odb_command cmd(session.p);
    ole_com_ptr<IRowset> rs;
    cmd.execute(fk_sql, &rs);
    odb_recordset rows(rs.p);
    const std::wstring prefix = owner.empty() ? std::wstring() : owner + L".";
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        udb_record* r = rows.get_item();
        const std::wstring name = text_at(r, 0);
        if (relationships->is_acceptable_name(name)) {
            std::wstring del = text_at(r, 4), update = text_at(r, 5);
            replace_underscores(del);
            replace_underscores(update);
            tk_logger::log(2, L"GOT FOREIGN KEY: %s", name.c_str());
            tk_logger::log(1, L"update rule=%s, delete_rule=%s", update.c_str(), del.c_str());
            relationships->push_back(udb_relationship(name, std::wstring(), prefix + table, prefix + text_at(r, 2),
                                                      {text_at(r, 1)}, {text_at(r, 3)}, rule_text(update, del)));
        } else {
            udb_relationship& rel = relationships->get_index(name);
            rel.parent_fields.push_back(text_at(r, 3));
            rel.child_fields.push_back(text_at(r, 1));
        }
    }
}
