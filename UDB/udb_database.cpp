#include "UDB/udb_database.h"

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_recordset.h"

udb_database::udb_database(const std::wstring& name, uint32_t mode, bool case_sensitive)
    : mode(mode), name(name), case_sensitive(case_sensitive)
{
    tk_logger::log(2, L"udb_database::ctor(%s)", name.c_str());
}

udb_database::~udb_database() { tk_logger::log(2, "udb_database::dtor"); }

void udb_database::create_schema(const std::wstring&) {}

void udb_database::create_index(const std::wstring&, udb_schema&, udb_index&) {}

void udb_database::create_indexes(const std::wstring& table, udb_schema& schema, udb_indexes& indexes)
{
    tk_logger::log(2, L"udb_database::create_indexes(%s)", table.c_str());
    for (auto& index : indexes) create_index(table, schema, index);
}

void udb_database::create_views(view_list&) {}

void udb_database::hook1(const std::wstring&) {}

void udb_database::hook2(const std::wstring&, const std::wstring&) {}

bool udb_database::delete_tab(const std::wstring& table)
{
    tk_logger::log(2, L"udb_database::delete_tab(%s)", table.c_str());
    const long pos = tables.find(table, case_sensitive);
    if (pos < 0) {
        tk_logger::log(2, "Table not found!");
        return false;
    }
    tables.erase(static_cast<size_t>(pos));
    return true;
}

void udb_database::get_schema_info(std::vector<std::wstring>& schemas) { schemas.clear(); }

std::unique_ptr<udb_recordset> udb_database::query(const std::wstring&) { throw tk_mail_assertion("udb_db", 87); }

void udb_database::create_relationships(udb_relationships&) {}

const std::vector<std::wstring>& udb_database::get_tables() { return tables.names(); }

bool udb_database::is_table_exist(const std::wstring& table)
{
    tk_logger::log(2, L"udb_database::is_table_exist(%s,case_sensitive=%d)", table.c_str(),
                   static_cast<int>(case_sensitive));
    if (tables.find(table, case_sensitive) >= 0) {
        tk_logger::log(1, "table exists");
        return true;
    }
    tk_logger::log(1, "table not found");
    return false;
}

std::wstring udb_database::get_fn_mapped_name(const std::wstring& table, const std::wstring& field, bool exact) const
{
    return names_map.get_fn_mapped_name(table, field, exact);
}
