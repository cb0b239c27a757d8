// The SQL Server provider: data source, session, command and the service
// component for connection strings.
#pragma once
#include <memory>
#include <string>
#include "platform/oledb/odbp_backend.h"
#include "platform/oledb/oledb.h"

// What a data source knows after its properties were set.
struct odbp_settings {
    std::wstring data_source;
    std::wstring user;
    std::wstring password;
    std::wstring catalog;
    bool integrated = false;
    bool generic = false;   // reached through the service component
    bool fast_load = false; // the provider's fast-load property was accepted
};

HRESULT odbp_create_data_source(bool generic, REFIID riid, void** ppv);
HRESULT odbp_create_data_initialize(REFIID riid, void** ppv);
// Opens a connection for a session of the data source (throws mssx_error).
std::shared_ptr<odbp_backend> odbp_connect(const odbp_settings& s);
HRESULT odbp_create_session(std::shared_ptr<odbp_backend> conn, const odbp_settings& s, REFIID riid, IUnknown** pp);
HRESULT odbp_create_command(std::shared_ptr<odbp_backend> conn, const odbp_settings& s, IUnknown* session, REFIID riid,
                            IUnknown** pp);
HRESULT odbp_create_fast_load(std::shared_ptr<odbp_backend> conn, const odbp_settings& s, const std::string& table,
                              bool keep_identity, REFIID riid, IUnknown** pp);
// Parses a connection string into settings; false when the provider named is not ours.
bool odbp_parse_connection_string(const std::wstring& text, odbp_settings& s);
