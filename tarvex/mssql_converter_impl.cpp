#include "tarvex/mssql_converter_impl.h"

#include "TK/tk_logger.h"
#include "tarvex/profile_text.h"

mssql_converter_impl::mssql_converter_impl() = default;

void mssql_converter_impl::connect_mssql_server()
{
    tk_logger::log(1, "mssql_converter_impl::connect_mssql_server");
    if (windows_auth)
        mssql_server.connect(mssql_host, true);
    else
        mssql_server.connect(mssql_host, mssql_user, mssql_password, true);
}

void mssql_converter_impl::store_mssql_settings(const std::wstring& host, const std::wstring& user,
                                                const std::wstring& password)
{
    mssql_host = host;
    mssql_user = user;
    mssql_password = password;
}

std::unique_ptr<mss_database> mssql_converter_impl::open_source(const std::wstring& src)
{
    return std::unique_ptr<mss_database>(mssql_server.open_db(src, 1));
}

bool mssql_converter_impl::test_query(const std::wstring& src, const std::wstring& text)
{
    tk_logger::log(2, "mssql_converter_impl::test_query");
    auto db = open_source(src);
    return db->test_query(text);
}

std::vector<std::wstring>& mssql_converter_impl::get_contents(std::vector<std::wstring>& list)
{
    list = mssql_server.get_contents();
    return list;
}

bool mssql_converter_impl::store_profile(udb_profile& profile)
{
    tk_logger::log(2, "mssql_converter_impl::store_profile");
    const wchar_t* s = profile_text::mssql;
    if (!mssql_host.empty()) profile.set_value(s, L"server", mssql_host);
    if (!mssql_user.empty()) profile.set_value(s, L"login", mssql_user);
    if (!mssql_password.empty()) profile.set_value(s, L"password", mssql_password);
    profile.set_value(s, L"windows authentication", profile_text::flag(windows_auth));
    profile.set_value(s, L"connect as DBO", profile_text::flag(mssql_server.connect_as_dbo));
    profile.set_value(s, L"dump insert comments", profile_text::flag(dump_options.b_insert_comments));
    profile.set_value(s, L"dump create database", profile_text::flag(dump_options.b_create_database));
    profile.set_value(s, L"dump create table", profile_text::flag(dump_options.b_create_table));
    return true;
}

bool mssql_converter_impl::load_profile(udb_profile& profile)
{
    tk_logger::log(2, "mssql_converter_impl::load_profile");
    const wchar_t* s = profile_text::mssql;
    std::wstring v = profile.get_value(s, L"server");
    if (!v.empty()) mssql_host = v;
    v = profile.get_value(s, L"login");
    if (!v.empty()) mssql_user = v;
    v = profile.get_value(s, L"password");
    if (!v.empty()) mssql_password = v;
    profile_text::read_strict_flag(profile.get_value(s, L"windows authentication"), windows_auth);
    v = profile.get_value(s, L"connect as DBO");
    if (!v.empty()) {
        bool as_dbo = mssql_server.connect_as_dbo;
        profile_text::read_strict_flag(v, as_dbo);
        mssql_server.set_as_dbo(as_dbo);
    }
    profile_text::read_strict_flag(profile.get_value(s, L"dump insert comments"), dump_options.b_insert_comments);
    profile_text::read_strict_flag(profile.get_value(s, L"dump create database"), dump_options.b_create_database);
    profile_text::read_strict_flag(profile.get_value(s, L"dump create table"), dump_options.b_create_table);
    return true;
}
