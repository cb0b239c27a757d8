#include "ORA/ora_database.h"
#include <cwctype>
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_text.h"
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_recordset.h"

namespace {

std::wstring upper(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

} // namespace

ora_database::ora_database(const std::wstring& data_source, uint32_t db_mode) : udb_database(data_source, db_mode, true)
{
    tk_logger::log(1, L"ora_database::ctor(%s)", data_source.c_str());
    if ((db_mode & 0x80) == 0) {
        try {
            init_views();
        } catch (const ora_exception& e) {
            tk_logger::log(3, "Error while extracting views:\n%s\n", e.what());
        }
    }
}

ora_database::~ora_database() = default;

void ora_database::init_tables(bool b_owned_by_user)
{
    tk_logger::log(1, "ora_database::init_tables(b_owned_by_user=%d)", static_cast<int>(b_owned_by_user));
    ora_engine& eng = ora_eng();
    ora_stmt st;
    const bool v8 = eng.get_version() >= 0x080000;
    std::wstring sql;
    if (b_owned_by_user)
        sql = v8 ? L"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and "
                   L"IOT_TYPE IS NULL OR IOT_TYPE='IOT'"
                 : L"select TABLE_NAME from user_tables";
    else
        sql = v8 ? L"select OWNER, TABLE_NAME, IOT_TYPE from all_tables where TEMPORARY='N' and NESTED='NO' and "
                   L"IOT_TYPE IS NULL OR IOT_TYPE='IOT'"
                 : L"select OWNER, TABLE_NAME from all_tables";
    eng.check_err(st.prepare(sql));
    std::vector<char16_t> col1(256, 0), col2(256, 0);
    sb2 ind1 = 0, ind2 = 0;
    OCIDefine* def1 = nullptr;
    OCIDefine* def2 = nullptr;
    eng.check_err(OCIDefineByPos(st.get(), &def1, eng.get_err(), 1, col1.data(), 512, SQLT_STR, &ind1, nullptr, nullptr,
                                 OCI_DEFAULT));
    if (!b_owned_by_user)
        eng.check_err(OCIDefineByPos(st.get(), &def2, eng.get_err(), 2, col2.data(), 512, SQLT_STR, &ind2, nullptr,
                                     nullptr, OCI_DEFAULT));
    sword rc = OCIStmtExecute(eng.get_svc(), st.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_DEFAULT);
    eng.check_err(rc);
    while (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) {
        const std::wstring first = ora_from_u16(col1.data(), ora_u16_len(col1.data(), col1.size()));
        if (b_owned_by_user) {
            tk_logger::log(1, L"Find table '%s'", first.c_str());
            tables.push_back(first);
        } else {
            const std::wstring second = ora_from_u16(col2.data(), ora_u16_len(col2.data(), col2.size()));
            tk_logger::log(1, L"Find table '%s/%s'", first.c_str(), second.c_str());
            tables.push_back(first + L"." + second);
        }
        rc = OCIStmtFetch(st.get(), eng.get_err(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    }
    tk_logger::log(1, "Tables count: %d", static_cast<int>(tables.size()));
}

void ora_database::init_views()
{
    tk_logger::log(1, "ora_database::init_views");
    ora_query_results rs(2, L"select VIEW_NAME, TEXT from SYS.USER_VIEWS");
    while (!rs.is_eof()) {
        udb_record* rec = rs.get_item();
        if (!rec || rec->size() < 2) continue;
        const std::wstring view = rec->at(0).to_wstring();
        const std::wstring text = rec->at(1).to_wstring();
        tk_logger::log(1, L"GOT VIEW: %s|%s", view.c_str(), text.c_str());
        views.emplace_back(view, refine_view_out(text));
    }
}

const std::vector<std::wstring>& ora_database::get_tables()
{
    tk_logger::log(1, "ora_database::get_tables");
    tables.clear();
    init_tables(ora_eng().b_owned_by_user);
    return tables.names();
}

bool ora_database::is_table_exist(const std::wstring& name)
{
    tk_logger::log(1, L"ora_database::is_table_exist(%s)", name.c_str());
    if (udb_database::is_table_exist(ora_simplify_name(name))) return true;
    auto tname = ora_split_name(name);
    if (tname.first.empty()) tname.first = ora_eng().get_schema_name();
    tk_logger::log(1, L"tname.first=%s, tname.second=%s", tname.first.c_str(), tname.second.c_str());
    return udb_database::is_table_exist(tname.first + L"." + tname.second);
}

std::unique_ptr<udb_recordset> ora_database::query(const std::wstring& sql)
{
    tk_logger::log(1, L"ora_database::query(%s)", sql.c_str());
    ora_stmt st;
    st.run(sql, 1, OCI_DEFAULT);
    return nullptr;
}

bool ora_database::test_query(const std::wstring& sql)
{
    tk_logger::log(1, L"ora_database::test_query(%s)", sql.c_str());
    ora_engine& eng = ora_eng();
    ora_stmt st;
    const sword prep = st.prepare(sql);
    const sword exec = OCIStmtExecute(eng.get_svc(), st.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_PARSE_ONLY);
    // The execute reports the prepare's error too; a prepare failure alone still counts.
    eng.check_err(exec);
    eng.check_err(prep);
    return true;
}

void ora_database::create_schema(const std::wstring& schema)
{
    tk_logger::log(1, L"ora_database::create_schema(%s)", schema.c_str());
    const std::wstring name = b_uppercase ? upper(schema) : schema;
    if (!user_exists(name)) {
        try {
            query(L"CREATE USER \"" + name + L"\" identified externally");
        } catch (const ora_exception& e) {
            tk_logger::log(3, "Error while creating user:\n%s\n", e.what());
            // No privilege, or a container's root: no later schema can be made either.
            const uint32_t n = e.ora_number();
            if (n == k_ora_insufficient_privileges || n == k_ora_common_user_only) {
                ora_exception stop(e);
                stop.mark_refuses_every_row();
                throw stop;
            }
        }
    }
    try {
        query(L"ALTER USER \"" + name + L"\" quota unlimited on \"USERS\"");
    } catch (const ora_exception& e) {
        tk_logger::log(3, "Error while granting user:\n%s\n", e.what());
    }
}

bool ora_database::user_exists(const std::wstring& name)
{
    if (known_users.count(name)) return true;
    ora_query_results rows(
        1, L"SELECT USERNAME FROM ALL_USERS WHERE USERNAME = '" + ora_engine::quote_literal_text(name) + L"'");
    if (rows.is_eof()) return false;
    known_users.insert(name);
    return true;
}

bool ora_database::delete_tab(const std::wstring& name)
{
    tk_logger::log(1, L"ora_database::delete_tab(%s)", name.c_str());
    if (!is_table_exist(name)) throw tk_mail_assertion("ora_db", 317);
    ora_stmt st;
    st.run(L"DROP TABLE " + ora_engine::get_safe_name(name) + L" CASCADE CONSTRAINTS", 1, OCI_DEFAULT);
    if (!udb_database::delete_tab(ora_simplify_name(name))) {
        // Listed under the connection's schema when the name came without one.
        const auto tname = ora_split_name(name);
        if (tname.first.empty()) udb_database::delete_tab(ora_eng().get_schema_name() + L"." + tname.second);
    }
    return true;
}

std::wstring ora_database::get_tn_mapped_name_ex(const std::wstring& table)
{
    tk_logger::log(1, L"ora_database::get_tn_mapped_name_ex(%s)", table.c_str());
    if (b_uppercase) return names_map.get_tn_mapped_name(upper(table), false);
    const std::wstring mapped = names_map.get_tn_mapped_name(table, true);
    if (!is_table_exist(mapped)) {
        tk_logger::log(1, L"Cannot find table %s", mapped.c_str());
        tk_logger::log(1, "Try to search case insensitive...");
        return names_map.get_tn_mapped_name(table, false);
    }
    return mapped;
}

std::wstring ora_database::get_fn_mapped_name_ex(const std::wstring& table, const std::wstring& field)
{
    tk_logger::log(1, L"ora_database::get_fn_mapped_name_ex(%s)", table.c_str());
    if (b_uppercase) return names_map.get_fn_mapped_name(upper(table), upper(field), false);
    return names_map.get_fn_mapped_name(table, field, true);
}
