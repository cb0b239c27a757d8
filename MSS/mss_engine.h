// The process's one SQL Server connection object.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "MSS/odb_initializer.h"
#include "OLE/ole_com_ptr.h"
#include "TK/tk_singleton.h"
#include "platform/oledb/oledb.h"

class mss_database;

class mss_engine : public tk_singleton<mss_engine> {
public:
    ole_com_ptr<IDataConvert> data_convert;
    int32_t version = 0;
    std::wstring server;
    std::wstring user;
    std::wstring password;
    bool connected = false;
    bool fast_load = true;
    bool windows_auth = false;
    bool unicode_strings = true;
    bool com_ready = false;
    odb_initializer initializer;
    std::vector<std::wstring> databases;
    bool connect_as_dbo = false;
    bool b_view_owned = true;

    explicit mss_engine(bool com_ready);
    ~mss_engine() override;
    mss_engine(const mss_engine&) = delete;
    mss_engine& operator=(const mss_engine&) = delete;

    // Windows authentication.
    void connect(const std::wstring& server, bool want_fast_load);
    // SQL Server authentication.
    void connect(const std::wstring& server, const std::wstring& user, const std::wstring& password,
                 bool want_fast_load);

    bool enable_fast_load(IDBInitialize* ds, bool enable);
    int32_t get_version(IDBInitialize* ds);
    void init_db_contents(IDBInitialize* ds);
    const std::vector<std::wstring>& get_contents();
    bool is_db_exist(const std::wstring& name);
    // New connection and session on the database, as a source database object.
    mss_database* open_db(const std::wstring& name, uint32_t mode);

    static std::wstring get_safe_tname(const std::wstring& name);
    void set_as_dbo(bool as_dbo);
    bool is_view_owned() const { return b_view_owned; }
    static bool is_initialized();
    bool is_native_provider() const { return connected && initializer.native; }
    // SQL Server 2008-and-later handling of pure DATE and TIME columns.
    bool is_2008_mode() const { return version >= 5 && is_native_provider(); }

    // The version code of a "SELECT @@VERSION" text.
    static int32_t version_from_text(const std::wstring& text);

private:
    void connect_impl(const std::wstring& server, const std::wstring& user, const std::wstring& password, bool windows,
                      bool want_fast_load);
};
