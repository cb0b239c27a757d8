#include "MSS/mss_database.h"

#include "MSS/mss_engine.h"
#include "MSS/mss_split_tab_name.h"
#include "MSS/mss_sql_text.h"
#include "MSS/mss_view_def.h"
#include "MSS/odb_command.h"
#include "MSS/odb_exception.h"
#include "MSS/odb_meta_data.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_compare.h"

namespace {

std::wstring text_at(udb_record* rec, size_t i)
{
    if (!rec || i >= rec->size()) return std::wstring();
    return (*rec)[i].to_wstring();
}

bool is_null_at(udb_record* rec, size_t i)
{
    if (!rec || i >= rec->size()) return true;
    const VARTYPE vt = (*rec)[i].get_type();
    return vt == VT_EMPTY || vt == VT_NULL;
}

bool is_sa(const std::wstring& name)
{
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name.c_str(), -1, L"sa", -1) == CSTR_EQUAL;
}

const wchar_t* const k_system_tables = L"table_name not in ('sysalternates','sysconstraints','syssegments')";

} // namespace

mss_database::mss_database(const std::wstring& name_, IDBInitialize* ds, IOpenRowset* s, uint32_t mode_)
    : odb_database(name_, ds, s, mode_)
{
    types.clear();
    tk_logger::log(2, L"mss_database::ctor(%s)", name_.c_str());
    const mss_engine& engine = mss_engine::ref();
    const std::wstring user = engine.user;
    tk_logger::log(2, L"user=%s", user.c_str());
    if (user.empty() || engine.connect_as_dbo || is_sa(user)) {
        tk_logger::log(1, "Setting 'dbo' user");
        owner_ = L"dbo";
    } else {
        owner_ = user;
    }
    init_tables(session.p, owner_);
    if ((mode & mode_skip_views) == 0) {
        try {
            init_views(session.p, owner_);
        } catch (const odb_exception& e) {
            tk_logger::log(3, "Error while extracting views:\n%s\n", e.what());
        }
    }
}

mss_database::~mss_database() { types.clear(); }

void mss_database::init_tables(IOpenRowset* s, const std::wstring& owner)
{
    tk_logger::log(2, L"mss_database::init_tables(%s)", owner.c_str());
    const bool view_owned = mss_engine::ref().is_view_owned();
    tk_logger::log(1, "mss_engine::ref().is_view_owned()=%d", view_owned ? 1 : 0);
    const bool restrict = view_owned && !is_sa(owner);
    auto store = [&](const std::wstring& schema, const std::wstring& table) {
        return view_owned ? table : sql_ident(schema) + L"." + sql_ident(table);
    };
    {
        odb_tl_meta_data rows(s, restrict ? owner : std::wstring());
        for (rows.reset(); !rows.is_eof(); rows.next()) {
            udb_record* r = rows.get_item();
            const std::wstring schema = text_at(r, 1), table = text_at(r, 2);
            tk_logger::log(2, L"Got table (1): (name=%s, owner=%s)", table.c_str(), schema.c_str());
            tables.push_back(store(schema, table));
            tk_logger::log(2, L"Stored as %s", tables.back().c_str());
        }
    }
    if (tables.empty()) {
        tk_logger::log(2, "No tables were found! Trying another method.");
        std::wstring sql = L"exec sp_tables ";
        if (restrict) sql += L"@table_owner=" + sql_literal(owner) + L", ";
        sql += L"@table_type=\"'TABLE'\"";
        odb_command cmd(s);
        ole_com_ptr<IRowset> rs;
        cmd.execute(sql, &rs);
        odb_recordset rows(rs.p);
        for (rows.reset(); !rows.is_eof(); rows.next()) {
            udb_record* r = rows.get_item();
            const std::wstring schema = text_at(r, 1), table = text_at(r, 2);
            tk_logger::log(2, L"Got table (2): (name=%s, owner=%s)", table.c_str(), schema.c_str());
            tables.push_back(store(schema, table));
        }
    }
    tk_logger::log(2, "Tables count: %d", static_cast<int>(tables.size()));
    init_columns(s, owner);
}

void mss_database::init_columns(IOpenRowset* s, const std::wstring& owner)
{
    tk_logger::log(2, L"mss_database::init_columns(%s)", owner.c_str());
    if (!types.empty()) return;
    std::wstring sql =
        L"select table_name, column_name, data_type, table_schema from INFORMATION_SCHEMA.COLUMNS where ";
    if (mss_engine::ref().is_view_owned()) sql += L"table_schema=" + sql_literal(owner) + L" and ";
    sql += k_system_tables;
    odb_command cmd(s);
    ole_com_ptr<IRowset> rs;
    cmd.execute(sql, &rs);
    odb_recordset rows(rs.p);
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        udb_record* r = rows.get_item();
        const std::wstring table = text_at(r, 0), column = text_at(r, 1), type = text_at(r, 2);
        types[text_at(r, 3)][table][column] = type;
        tk_logger::log(2, L"Database column (table, column, type): %s, %s, %s", table.c_str(), column.c_str(),
                       type.c_str());
    }
}

void mss_database::init_views(IOpenRowset* s, const std::wstring& owner)
{
    tk_logger::log(2, L"mss_database::init_views(%s)", owner.c_str());
    const bool view_owned = mss_engine::ref().is_view_owned();
    std::wstring sql = L"select table_name, view_definition from information_schema.views where ";
    if (view_owned) sql += L"table_schema=" + sql_literal(owner) + L" and ";
    sql += k_system_tables;
    odb_command cmd(s);
    ole_com_ptr<IRowset> rs;
    cmd.execute(sql, &rs);
    odb_recordset rows(rs.p);
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        udb_record* r = rows.get_item();
        const std::wstring name = text_at(r, 0);
        if (is_null_at(r, 1)) {
            tk_logger::log(3, L"View '%s' has no readable definition, skip it", name.c_str());
            continue;
        }
        const std::optional<std::wstring> text = mss_view_select_text(text_at(r, 1), view_owned);
        if (!text) {
            tk_logger::log(2, "'as select' not found in the view");
            continue;
        }
        tk_logger::log(2, L"Got view: ('%s', '%s')", name.c_str(), text->c_str());
        views.emplace_back(name, *text);
    }
}

mss_table* mss_database::amend_schema(mss_table* table)
{
    tk_logger::log(1, "mss_database::amend_schema");
    if (!table || table->schema.empty()) return table;
    std::wstring plain, schema;
    mss_split_tab_name(table->table_name, plain, schema);
    if (schema.empty()) {
        // A bare name is the login's own schema's, or the only schema that has it.
        schema = owner_;
        if (!types.count(schema) || !types[schema].count(plain))
            for (const auto& [s, tables_of_s] : types)
                if (tables_of_s.count(plain)) {
                    schema = s;
                    break;
                }
    }
    const auto s_it = types.find(schema);
    if (s_it == types.end()) return table;
    const auto t_it = s_it->second.find(plain);
    if (t_it == s_it->second.end()) return table;
    for (size_t i = 0; i < table->schema.size(); ++i) {
        t_ftd& f = table->schema[i];
        const auto c_it = t_it->second.find(f.name);
        if (c_it == t_it->second.end()) continue;
        if (c_it->second == L"date") {
            f.vartype = VT_DATE;
            f.dw_reserved = t_ftd::hint_date_only;
        } else if (c_it->second == L"time") {
            f.vartype = VT_DATE;
            f.dw_reserved = t_ftd::hint_time_only;
        }
    }
    return table;
}

std::unique_ptr<udb_recordset> mss_database::get_table1(const std::wstring& table, int mode_)
{
    tk_logger::log(2, L"mss_database::get_table1(%s)", table.c_str());
    auto t = std::make_unique<mss_table>(mss_engine::get_safe_tname(table), session.p, static_cast<uint32_t>(mode_),
                                         &relationships);
    amend_schema(t.get());
    return t;
}

std::unique_ptr<mss_table> mss_database::get_table2(const std::wstring& table,
                                                    const std::vector<std::shared_ptr<t_ftd>>& columns)
{
    tk_logger::log(2, L"mss_database::get_table2(%s)", table.c_str());
    auto t = std::make_unique<mss_table>(mss_engine::get_safe_tname(table), session.p, columns, &relationships);
    amend_schema(t.get());
    return t;
}

std::unique_ptr<udb_recordset> mss_database::get_table(const std::wstring& name_, const std::wstring& query_, int mode_)
{
    tk_logger::log(2, L"mss_database::get_table(%s: %s)", name_.c_str(), query_.c_str());
    auto t = std::make_unique<mss_table>(name_, query_, session.p, static_cast<uint32_t>(mode_), &relationships);
    amend_schema(t.get());
    return t;
}

bool mss_database::is_table_exist(const std::wstring& table)
{
    tk_logger::log(2, L"mss_database::is_table_exist(%s)", table.c_str());
    if (table.empty()) return false;
    if (mss_engine::ref().is_view_owned()) return udb_database::is_table_exist(table);
    return udb_database::is_table_exist(mss_engine::get_safe_tname(table));
}

void mss_database::get_schema_info(std::vector<std::wstring>& schemas)
{
    tk_logger::log(2, "mss_database::get_schema_info");
    schemas.clear();
    odb_command cmd(session.p);
    ole_com_ptr<IRowset> rs;
    cmd.execute(L"SELECT name FROM master.sys.schemas where principal_id < 16384", &rs);
    odb_recordset rows(rs.p);
    for (rows.reset(); !rows.is_eof(); rows.next()) {
        const std::wstring name = text_at(rows.get_item(), 0);
        tk_logger::log(2, L"Got schema: name=%s", name.c_str());
        schemas.push_back(name);
    }
    if (schemas.empty()) schemas.push_back(L"dbo");
}
