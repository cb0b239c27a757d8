#include "tarvex/tarvex_convertor.h"

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

tarvex_convertor::tarvex_convertor(settings_source source) : tk_serializer(registry_key), source_kind(source)
{
    tk_logger::log(2, "tarvex_convertor::ctor");
    set_defaults();
    if (source_kind == settings_source::registry) serialize(false);
    oracle_engine.b_owned_by_user = false;
    tk_logger::log(1, "mssql_server.b_view_owned=%d", is_view_owned() ? 1 : 0);
}

tarvex_convertor::~tarvex_convertor()
{
    tk_logger::log(2, "tarvex_convertor::dtor");
    if (source_kind == settings_source::registry) serialize(true);
}

void tarvex_convertor::set_defaults()
{
    // Every setting is defined even when the registry cannot be read.
    mode = 0;
    windows_auth = true;
    if (source_kind == settings_source::registry) {
        uppercase = true;
        oracle_port = L"1521";
        set_view_owned(true);
    } else {
        uppercase = false;
        set_view_owned(false);
    }
}

bool tarvex_convertor::serialize(bool store)
{
    tk_logger::log(1, "serialize( %d )", store ? 1 : 0);
    if (key.open(HKEY_CURRENT_USER, path.c_str(), nullptr, 0, KEY_ALL_ACCESS, nullptr) != ERROR_SUCCESS) return false;
    bool ok = true;
    auto with_default = [&](auto& field, auto value) {
        if (!store) field = value;
    };
    ok &= tk_serializer::serialize(L"dest", dest, store);
    ok &= tk_serializer::serialize("log_file", log_file, store);
    DWORD m = mode;
    with_default(m, DWORD{0});
    ok &= tk_serializer::serialize("mode", m, store);
    mode = m;
    ok &= tk_serializer::serialize(L"mssqlh", mssql_host, store);
    ok &= tk_serializer::serialize(L"mssqlp", mssql_password, store);
    ok &= tk_serializer::serialize(L"mssqlu", mssql_user, store);
    ok &= tk_serializer::serialize(L"oracleh", oracle_host, store);
    ok &= tk_serializer::serialize(L"oraclep", oracle_password, store);
    ok &= tk_serializer::serialize(L"oracleu", oracle_user, store);
    with_default(oracle_port, std::wstring(L"1521"));
    ok &= tk_serializer::serialize(L"port", oracle_port, store);
    with_default(windows_auth, true);
    ok &= tk_serializer::serialize("sec_log", windows_auth, store);
    with_default(skip_idx, false);
    ok &= tk_serializer::serialize("skip_idx", skip_idx, store);
    ok &= tk_serializer::serialize(L"src", src, store);
    with_default(tab_def, false);
    ok &= tk_serializer::serialize("tab_def", tab_def, store);
    with_default(uppercase, true);
    ok &= tk_serializer::serialize("uppercase", uppercase, store);
    bool view_owned = is_view_owned();
    with_default(view_owned, true);
    ok &= tk_serializer::serialize("view_owned", view_owned, store);
    set_view_owned(view_owned);
    key.close();
    return ok;
}

bool tarvex_convertor::test_query(const std::wstring& text) { return mssql_converter_impl::test_query(src, text); }

std::vector<std::wstring>& tarvex_convertor::get_all_tables(std::vector<std::wstring>& list)
{
    tk_logger::log(2, "tarvex_convertor::get_all_tables");
    tk_logger::log(1, "mssql_server.b_view_owned=%d", is_view_owned() ? 1 : 0);
    auto db = open_source(src);
    list = db->get_tables();
    return list;
}

udb_schema tarvex_convertor::get_schema(const std::wstring& name)
{
    tk_logger::log(2, L"tarvex_convertor::get_schema(%s)", name.c_str());
    auto db = open_source(src);
    // A table dropped since it was listed is the user's news, not an internal error.
    if (!db->is_table_exist(name))
        throw tk_exception(L"Table '" + name + L"' does not exist in the source database", 0);
    auto table = db->get_table1(name, 1);
    if (!table) throw tk_exception(L"Table '" + name + L"' does not exist in the source database", 0);
    return table->schema;
}
