// One ODBC connection of the provider's ODBC backend, with at most one
// statement on it. Handles are kept as void* so that this header does not
// bring in the ODBC headers.
#pragma once
#include <string>
#include "platform/oledb/odbp_backend.h"

class odbp_odbc_link {
public:
    // Connects (throws mssx_error with the server's number, 17 when nothing answered).
    explicit odbp_odbc_link(const std::string& connection_string);
    ~odbp_odbc_link();
    odbp_odbc_link(const odbp_odbc_link&) = delete;
    odbp_odbc_link& operator=(const odbp_odbc_link&) = delete;

    void* handle() const { return dbc_; }
    // A new statement handle in place of the last one.
    void* fresh_statement();
    void* statement() const { return stmt_; }
    void close_statement();

private:
    void* dbc_ = nullptr;
    void* stmt_ = nullptr;
};

// The connection string of a login: the driver (TVX_ODBC_DRIVER, else FreeTDS's
// found on disk), the server as its clients write it, the login, the database
// and TVX_ODBC_EXTRA. Throws mssx_error 17 when no driver is found.
std::string odbp_odbc_connection_string(const odbp_login& login);
// Where FreeTDS's ODBC driver is installed; empty when it is not.
std::string odbp_odbc_driver_path();
