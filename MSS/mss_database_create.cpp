// mss_database: schemas, tables, indexes and foreign keys on a SQL Server target.
#include <cstdio>

#include "MSS/mss_database.h"
#include "MSS/mss_engine.h"
#include "MSS/mss_sql_text.h"
#include "MSS/odb_command.h"
#include "MSS/odb_exception.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"

namespace {

void erase_all(std::wstring& text, const std::wstring& what)
{
    for (size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos))
        text.erase(pos, what.size());
}

bool equal_no_case(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

int32_t engine_version()
{
    const mss_engine* e = mss_engine::find();
    return e ? e->version : 0;
}

} // namespace

void mss_database::create_schema(const std::wstring& owner)
{
    tk_logger::log(2, L"mss_database::create_schema(%s)", owner.c_str());
    if (owner == L"dbo") {
        tk_logger::log(1, "Skip 'dbo' schema");
        return;
    }
    // The name sits inside a literal and inside a literal within a literal.
    std::wstring inner = sql_ident(owner);
    std::wstring doubled;
    for (wchar_t c : inner) {
        doubled += c;
        if (c == L'\'') doubled += L'\'';
    }
    query(L"IF NOT EXISTS (SELECT  schema_name FROM    information_schema.schemata WHERE   schema_name = " +
          sql_literal(owner) + L" ) BEGIN EXEC sp_executesql N'CREATE SCHEMA " + doubled + L"' END")
        .reset();
}

std::unique_ptr<udb_recordset> mss_database::create_table(const std::wstring& table, udb_schema& schema,
                                                          udb_indexes& indexes)
{
    tk_logger::log(2, L"mss_database::create_table(%s)", table.c_str());
    if (mode & 0x01u) throw tk_mail_assertion("mss_db", 264);
    if (is_table_exist(table)) {
        if (mode != mode_append) throw odb_exception(std::string("The specified table already exists"));
        return get_table1(table, static_cast<int>(mode_append));
    }
    b_primary_key = false;
    create_table_def(table, schema, indexes);
    create_indexes(table, schema, indexes);
    const int32_t version = engine_version();
    if (!b_primary_key && version == 100) create_clustered_index(table, schema);
    tables.push_back(table);
    std::unique_ptr<mss_table> result = get_table2(table, schema.fields);
    if (version >= 5)
        for (size_t i = 0; i < result->schema.size() && i < schema.size(); ++i)
            if (schema[i].vartype == VT_DATE) result->schema[i].dw_reserved = schema[i].dw_reserved;
    return result;
}

void mss_database::create_index(const std::wstring& table, udb_schema& schema, udb_index& index)
{
    tk_logger::log(2, "mss_database::create_index");
    if (index.fields.empty()) {
        tk_logger::log(3, L"Index '[%s]': no fields, cannot build index", index.name.c_str());
        return;
    }
    const std::wstring safe_table = mss_engine::get_safe_tname(table);
    std::wstring sql;
    if (index.b_primary)
        sql = L"ALTER TABLE " + safe_table + L" ADD" + L" PRIMARY KEY(";
    else
        sql = L"CREATE " + std::wstring(index.b_unique ? L"UNIQUE " : L"") + L"INDEX " + sql_ident(index.name) +
              L" ON " + safe_table + L"(";
    const bool filtered = index.b_unique && !index.b_primary && engine_version() >= 5;
    std::wstring filter;
    uint32_t total = 0;
    for (size_t i = 0; i < index.fields.size(); ++i) {
        const std::wstring& column = index.fields[i];
        const VARTYPE vt = schema.get_field_type(column);
        uint32_t size = schema.get_field_size(column);
        if (vt == VT_BSTR && size != 0xFFFFFFFFu) size *= 2;
        total += size;
        tk_logger::log(1, L"Index field '%s' has vt=%08X, size=%d", column.c_str(), static_cast<unsigned>(vt),
                       static_cast<int>(size));
        tk_logger::log(1, "Total index size=%d", static_cast<int>(total));
        if (total > 900 || vt == VT_BOOL || size == 0 || size > 8000) {
            tk_logger::log(3, L"Index '%s' has been skipped", index.name.c_str());
            return;
        }
        if (i) sql += L", ";
        sql += sql_ident(column);
        if (filtered) filter += (i ? L" AND " : L" WHERE ") + sql_ident(column) + L" IS NOT NULL";
    }
    sql += L")" + filter;
    tk_logger::log(1, L"Create index query: '%s'", sql.c_str());
    try {
        odb_command(session.p).execute(sql);
    } catch (const odb_exception& e) {
        tk_logger::log(2, "Error: %s", e.what());
    }
    if (index.b_primary) b_primary_key = true;
}

void mss_database::create_clustered_index(const std::wstring& table, udb_schema& schema)
{
    tk_logger::log(2, "mss_database::create_clustered_index");
    const t_ftd* chosen = nullptr;
    for (size_t i = 0; i < schema.size() && !chosen; ++i) {
        const t_ftd& f = schema[i];
        if ((f.vartype != VT_BSTR && f.vartype != VT_BLOB) || (f.size >= 1 && f.size <= 7999))
            chosen = &f;
        else
            tk_logger::log(1, L"Field '%s' is not suitable for building index", f.name.c_str());
    }
    if (!chosen) {
        tk_logger::log(1, "Failed to find a field for building clustered index");
        return;
    }
    const std::wstring sql = L"CREATE CLUSTERED INDEX " + sql_ident(chosen->name + L"_clust_idx") + L" ON " +
                             sql_ident(table) + L"(" + sql_ident(chosen->name) + L")";
    tk_logger::log(1, L"CLUSTERED-index-query: %s", sql.c_str());
    try {
        query(sql).reset();
    } catch (const tk_exception& e) {
        tk_logger::log(3, "ERROR: %s", e.what());
    }
}

std::wstring mss_database::gen_idx_name(const udb_recordset* table, const std::vector<std::wstring>& columns)
{
    if (!table) throw tk_mail_assertion("mss_db", 967);
    tk_logger::log(1, "mss_database::gen_idx_name");
    std::wstring name = L"UIDX";
    for (const std::wstring& c : columns) name += L"_" + c;
    if (table->indexes.is_acceptable_name(name)) return name;
    for (unsigned n = 0;; ++n) {
        wchar_t suffix[16];
        std::swprintf(suffix, 16, L"_%05u", n);
        const std::wstring candidate = name + suffix;
        if (table->indexes.is_acceptable_name(candidate)) return candidate;
    }
}

void mss_database::create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& columns)
{
    tk_logger::log(2, L"mss_database::create_fk_index_if(%s)", table.c_str());
    std::unique_ptr<udb_recordset> t = get_table1(table, 1);
    // A foreign key needs a unique key on exactly its referenced columns;
    // a unique index that only starts with them does not make them unique.
    for (const udb_index& index : t->indexes)
        if ((index.b_unique || index.b_primary) && index.fields.size() == columns.size() &&
            index.consists_of_fields(columns)) {
            tk_logger::log(1, L"Child index for table '%s' exists", table.c_str());
            return;
        }
    tk_logger::log(1, L"Child index for table '%s' does NOT exist", table.c_str());
    std::wstring sql = L"CREATE UNIQUE INDEX " + sql_ident(gen_idx_name(t.get(), columns)) + L" ON " +
                       mss_engine::get_safe_tname(table) + L"(";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? L", " : L"") + sql_ident(get_fn_mapped_name(table, columns[i], true));
    sql += L")";
    try {
        odb_command(session.p).execute(sql);
    } catch (const odb_exception& e) {
        tk_logger::log(3, "Error while creating index for FK:\n%s\n", e.what());
    }
}

bool mss_database::is_valid_fk_props(const std::wstring& rule)
{
    tk_logger::log(1, L"mss_database::is_valid_fk_props(%s)", rule.c_str());
    static const wchar_t* const deletes[] = {L"ON DELETE CASCADE", L"ON DELETE NO ACTION", L"ON DELETE SET DEFAULT",
                                             L"ON DELETE SET NULL"};
    static const wchar_t* const updates[] = {L"ON UPDATE CASCADE", L"ON UPDATE NO ACTION", L"ON UPDATE SET DEFAULT",
                                             L"ON UPDATE SET NULL"};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            tk_logger::log(1, "Processing pattern #%i-%i", i, j);
            if (equal_no_case(rule, std::wstring(deletes[i]) + L" " + updates[j]) ||
                equal_no_case(rule, std::wstring(updates[j]) + L" " + deletes[i])) {
                tk_logger::log(1, "At the end - TRUE");
                return true;
            }
        }
    tk_logger::log(1, "At the end - FALSE");
    return false;
}

std::wstring mss_database::resolve_fk_table(const std::wstring& table, const char* what)
{
    std::wstring mapped = names_map.get_tn_mapped_name(table, true);
    tk_logger::log(1, L"eye->%hs_table=%s", what, table.c_str());
    erase_all(mapped, L"dbo].[");
    erase_all(mapped, L"dbo.");
    tk_logger::log(1, L"%hs_table_name=%s", what, mapped.c_str());
    if (is_table_exist(mapped)) return mapped;
    if (is_table_exist(table)) return table;
    if (is_table_exist(mss_engine::get_safe_tname(table))) return mss_engine::get_safe_tname(table);
    throw tk_exception(L"Table '" + mapped + L"' not exists", 0);
}

void mss_database::create_relationships(udb_relationships& list)
{
    tk_logger::log(2, "mss_database::create_relationships");
    if (mode == mode_append) {
        tk_logger::log(3, "Foreign keys are not converted in append mode");
        return;
    }
    const int32_t version = engine_version();
    for (const udb_relationship& rel : list) {
        tk_logger::log(3, L"Processing '%s'", rel.name.c_str());
        try {
            const std::wstring child = resolve_fk_table(rel.child_table, "fk");
            const std::wstring parent = resolve_fk_table(rel.parent_table, "pk");
            // Only the referenced side needs a unique key; one on the child's
            // columns would allow a single child row per parent.
            create_fk_index_if(parent, rel.parent_fields);
            const auto column_list = [&](const std::wstring& table, const std::vector<std::wstring>& fields) {
                std::wstring out;
                for (size_t i = 0; i < fields.size(); ++i)
                    out += (i ? L", " : L"") + sql_ident(get_fn_mapped_name(table, fields[i], true));
                return out;
            };
            std::wstring sql =
                L"ALTER TABLE " + mss_engine::get_safe_tname(child) + L" ADD CONSTRAINT " + sql_ident(rel.name) +
                L" FOREIGN KEY (" + column_list(rel.child_table, rel.child_fields) + L") REFERENCES " +
                mss_engine::get_safe_tname(parent) + L"(" + column_list(rel.parent_table, rel.parent_fields) + L")";
            if (!rel.rule.empty()) {
                const std::wstring rule = tk_trim(rel.rule);
                if (is_valid_fk_props(rule) && version >= 3) sql += L" " + rule;
            }
            tk_logger::log(3, L"Foreign key query: '%s'", sql.c_str());
            odb_command(session.p).execute(sql);
        } catch (const tk_exception& e) {
            tk_logger::log(3, "Error while creating FK:\n%s\n", e.what());
            error_sink.report(tk_exception("Can't create foreign key.", 0), L"Foreign key '" + rel.name + L"'");
        }
    }
}
