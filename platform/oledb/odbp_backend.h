// What the provider's objects need of a server, whichever server it is: the
// embedded SQL Server ("file:DIR") or a real one reached through ODBC.
// Values and types are the embedded server's (mssx_value in its stored
// form, mssx_type), so both backends look the same to the provider.
// Free of the OLE DB and ODBC headers: the ODBC backend includes this one.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "platform/mssx/mssx_connection.h"

// A long value left on the server, read in pieces: UTF-8 text or bytes.
class odbp_long_value {
public:
    virtual ~odbp_long_value() = default;
    // Its length in bytes. Throws mssx_error.
    virtual uint64_t size() = 0;
    // Up to n bytes from `offset`; the count read, 0 at the end. Throws mssx_error.
    virtual size_t read(uint64_t offset, void* data, size_t n) = 0;
};

// A result set read as the client goes.
class odbp_cursor {
public:
    virtual ~odbp_cursor() = default;
    virtual const std::vector<mssx_result_column>& columns() const = 0;
    // The next row into `row`; false at the end. Throws mssx_error.
    virtual bool next(std::vector<mssx_value>& row) = 0;
    // Column i's value of the row `next` gave last, when it was left on the
    // server (the row holds an empty value of its kind in its place).
    virtual std::shared_ptr<odbp_long_value> long_value(size_t) { return nullptr; }
};

struct odbp_batch {
    std::unique_ptr<odbp_cursor> result; // the first result set; null when the batch gave none
    int64_t rows_affected = -1;
    std::vector<mssx_error> errors; // in order; the batch failed when any
};

enum class odbp_schema { tables, primary_keys, foreign_keys, indexes };

struct odbp_login {
    std::string data_source; // "file:DIR", "HOST", "HOST,PORT", "HOST\INSTANCE"
    std::string user;
    std::string password;
    std::string catalog;
    bool integrated = false;
};

// One session's link to the server. Several cursors may be open at once,
// and statements may run while they are.
class odbp_backend {
public:
    virtual ~odbp_backend() = default;
    virtual odbp_batch execute(const std::string& batch) = 0;
    // SELECT * of a table: a plain name is taken whole, "[a].[b]" as parts.
    // 208 when absent.
    virtual std::unique_ptr<odbp_cursor> open_table(const std::string& name) = 0;
    virtual std::unique_ptr<odbp_cursor> schema_rowset(odbp_schema which, const mssx_restrictions& r) = 0;
    virtual void create_table(const std::string& name, const std::vector<mssx_new_column>& cols) = 0;
    // The columns of a table (208 when absent), for the bulk path.
    virtual std::vector<mssx_result_column> table_columns(const std::string& name) = 0;
    // Appends rows through the bulk path: values in column order, nullopt for
    // "the column's default"; identity values are kept only with keep_identity.
    // Returns the errors of rows that failed (the others are in).
    virtual std::vector<mssx_error> bulk_append(const std::string& table, const std::vector<mssx_result_column>& cols,
                                                const std::vector<std::vector<std::optional<mssx_value>>>& rows,
                                                bool keep_identity) = 0;
};

// Connects a login: an embedded server for "file:DIR", ODBC for any other
// data source. Throws mssx_error with the server's number (17, 18456, 4060...).
std::shared_ptr<odbp_backend> odbp_open_backend(const odbp_login& login);
std::shared_ptr<odbp_backend> odbp_open_embedded(const std::string& dir, const odbp_login& login);
std::shared_ptr<odbp_backend> odbp_open_odbc(const odbp_login& login);

// The table name as given to the server: a plain name whole, "[a].[b]" as is.
inline std::string odbp_held_name(const std::string& name)
{
    return !name.empty() && name.front() == '[' ? name : "[" + name + "]";
}
