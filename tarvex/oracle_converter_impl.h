// The Oracle half of the driver: engine, open database and connection settings.
#pragma once
#include <memory>
#include <string>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "UDB/udb_profile.h"

class oracle_converter_impl {
public:
    oracle_converter_impl();
    virtual ~oracle_converter_impl();

    void connect_oracle_server(const std::wstring& db);
    void store_oracle_settings(const std::wstring& host, const std::wstring& user, const std::wstring& password,
                               const std::wstring& port);

    bool store_profile(udb_profile& profile);
    bool load_profile(udb_profile& profile);

    ora_engine oracle_engine;
    std::unique_ptr<ora_database> oracle; // null until connected
    std::wstring oracle_db;
    std::wstring oracle_user;
    std::wstring oracle_password;
    std::wstring oracle_host;
    std::wstring oracle_port;
};
