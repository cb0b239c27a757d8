#include "tarvex/oracle_converter_impl.h"

#include "TK/tk_logger.h"
#include "tarvex/profile_text.h"

oracle_converter_impl::oracle_converter_impl()
{
    // The engine's constructor has set up the OCI environment and handles.
    tk_logger::log(2, "oracle_converter_impl::ctor");
}

oracle_converter_impl::~oracle_converter_impl()
{
    tk_logger::log(2, "oracle_converter_impl::dtor");
    oracle.reset();
}

void oracle_converter_impl::connect_oracle_server(const std::wstring& db)
{
    tk_logger::log(2, L"oracle_converter_impl::connect_oracle_server(%s)", db.c_str());
    if (oracle) {
        tk_logger::log(2, "Delete previous initialization of ora_base...");
        oracle.reset();
        tk_logger::log(2, "done");
    }
    oracle = oracle_engine.open_db(oracle_host, oracle_user, oracle_password, oracle_port, db);
    oracle_db = db;
}

void oracle_converter_impl::store_oracle_settings(const std::wstring& host, const std::wstring& user,
                                                  const std::wstring& password, const std::wstring& port)
{
    tk_logger::log(2, L"oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", host.c_str(), user.c_str(),
                   password.c_str(), port.c_str());
    oracle_host = host;
    oracle_user = user;
    oracle_password = password;
    oracle_port = port;
}

bool oracle_converter_impl::store_profile(udb_profile& profile)
{
    tk_logger::log(2, "oracle_converter_impl::store_profile");
    const wchar_t* s = profile_text::oracle;
    if (!oracle_host.empty()) profile.set_value(s, L"host", oracle_host);
    if (!oracle_password.empty()) profile.set_value(s, L"password", oracle_password);
    if (!oracle_port.empty()) profile.set_value(s, L"port", oracle_port);
    if (!oracle_user.empty()) profile.set_value(s, L"user", oracle_user);
    return true;
}

bool oracle_converter_impl::load_profile(udb_profile& profile)
{
    tk_logger::log(2, "oracle_converter_impl::load_profile");
    const wchar_t* s = profile_text::oracle;
    std::wstring v = profile.get_value(s, L"host");
    if (!v.empty()) oracle_host = v;
    v = profile.get_value(s, L"password");
    if (!v.empty()) oracle_password = v;
    v = profile.get_value(s, L"port");
    if (!v.empty()) oracle_port = v;
    v = profile.get_value(s, L"user");
    if (!v.empty()) oracle_user = v;
    return true;
}
