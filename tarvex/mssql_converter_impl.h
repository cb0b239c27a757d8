// The SQL Server half of the driver: connection settings and the engine.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "MSS/mss_database.h"
#include "MSS/mss_engine.h"
#include "UDB/udb_profile.h"

// Options of a SQL Server script writer; kept and stored in profiles, read by nothing else.
struct mss_dump_options {
    bool b_first = true;
    bool b_insert_comments = true;
    bool b_create_database = false;
    bool b_create_table = true;
    std::string s_first;
    std::string s_second;
};

class mssql_converter_impl {
public:
    mssql_converter_impl();

    void connect_mssql_server();
    void store_mssql_settings(const std::wstring& host, const std::wstring& user, const std::wstring& password);
    bool test_query(const std::wstring& src, const std::wstring& text);
    std::vector<std::wstring>& get_contents(std::vector<std::wstring>& list);

    // The source database, opened for one use.
    std::unique_ptr<mss_database> open_source(const std::wstring& src);

    bool store_profile(udb_profile& profile);
    bool load_profile(udb_profile& profile);

    bool windows_auth = true;
    mss_dump_options dump_options;
    mss_engine mssql_server{false};
    std::wstring mssql_host;
    std::wstring mssql_user;
    std::wstring mssql_password;
};
