// One connection to the embedded SQL Server: a login, a current database and
// the session settings; runs T-SQL batches and answers the catalog calls of
// the OLE DB provider.
#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "platform/mssx/mssx_catalog.h"
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_server.h"
#include "platform/mssx/mssx_value.h"

struct sqlite3_blob;

struct mssx_result_column {
    std::string name;
    mssx_type type;
    bool nullable = true;
    bool identity = false; // a table's identity column, read as it is stored
};

// Where a long value of a table is stored: table, column and row.
struct mssx_stored_ref {
    std::string table; // storage name, "schema.table"
    std::string column;
    int64_t rowid = 0;
};

// Rows of a query still on the server: read one by one, in order.
class mssx_row_source {
public:
    virtual ~mssx_row_source() = default;
    // The next row into `row`; false at the end. Throws mssx_error.
    virtual bool next(std::vector<mssx_value>& row) = 0;
    // For the row `next` gave last: where column `i`'s value was left, when
    // the row holds an empty value in its place.
    virtual std::optional<mssx_stored_ref> stored(size_t) const { return std::nullopt; }
};

struct mssx_result {
    std::vector<mssx_result_column> columns;
    std::vector<std::vector<mssx_value>> rows;
    // When set, the rows after `rows` are still to be read from here.
    std::shared_ptr<mssx_row_source> rest;
};

// Reads the rows still pending into `rows`.
void mssx_drain(mssx_result& r);

struct mssx_outcome {
    std::vector<mssx_result> results;
    int64_t rows_affected = -1;
    std::vector<mssx_error> errors;    // statement errors, in order
    std::vector<std::string> messages; // PRINT output and informational lines
};

struct mssx_login {
    std::string user; // ignored when integrated
    std::string password;
    bool integrated = false;
    std::string database; // empty: master
};

// A variable given to a batch from outside: "@name", its type and value.
struct mssx_parameter {
    std::string name;
    mssx_type type;
    mssx_value value;
};

// Restriction of a schema rowset: empty = none.
using mssx_restrictions = std::vector<std::optional<std::string>>;

// Column of a table created through the provider (ITableDefinition).
struct mssx_new_column {
    std::string name;
    mssx_type type;
    bool nullable = true;
    bool identity = false;
    std::optional<std::string> default_sql; // a T-SQL default expression
};

class mssx_connection {
public:
    // Connects: unreachable folder → 17, bad login → 18456, database that
    // does not exist or is not open to the login → 4060.
    mssx_connection(const std::string& dir, const mssx_login& login);
    ~mssx_connection();
    mssx_connection(const mssx_connection&) = delete;
    mssx_connection& operator=(const mssx_connection&) = delete;

    // Runs one batch. Statement errors are collected in the outcome and the
    // batch goes on; a syntax error ends the batch (also collected).
    mssx_outcome execute(const std::string& batch);
    // Like execute, but the result of the batch's last statement may be left
    // on the server (mssx_result::rest) to be read as the client goes.
    mssx_outcome execute_streaming(const std::string& batch);
    // Runs one batch with variables already declared and set (the
    // parameters of a remote procedure call such as sp_executesql).
    mssx_outcome execute(const std::string& batch, const std::vector<mssx_parameter>& params);

    // How many WHILE iterations one batch may run (1,000,000 unless set); a batch that
    // would run more ends with an error.
    void set_loop_limit(uint64_t iterations);

    // The folder BULK INSERT reads its data files from (relative names); the working folder when empty.
    void set_data_dir(const std::string& dir);
    const std::string& data_dir() const;
    // A fatal error (RAISERROR with severity 20 or more) ended the session: every further batch is refused.
    bool closed() const;

    const std::string& database() const { return database_; }
    const std::string& login() const { return login_; }
    mssx_server& server() { return *server_; }
    mssx_catalog& catalog() { return *catalog_; }

    // Provider calls.
    // The rows of SELECT * FROM name (208 when absent); with `stream` left
    // on the server to be read as the client goes, and a table's long text
    // and binary values left in the table (mssx_row_source::stored).
    mssx_result open_table(const std::string& name, bool stream = false);
    mssx_result schema_tables(const mssx_restrictions& r);
    mssx_result schema_primary_keys(const mssx_restrictions& r);
    mssx_result schema_foreign_keys(const mssx_restrictions& r);
    mssx_result schema_indexes(const mssx_restrictions& r);
    void create_table(const std::string& name, const std::vector<mssx_new_column>& cols);
    // Appends one row through the bulk path (values in column order, NULL
    // for identity unless keep_identity).
    void bulk_insert(const std::string& table, const std::vector<std::optional<mssx_value>>& values,
                     bool keep_identity);

    // Used by the statement runner.
    struct impl;
    impl& state() { return *impl_; }

private:
    std::string dir_;
    std::string login_;
    std::string database_;
    std::unique_ptr<mssx_server> server_;
    std::unique_ptr<mssx_catalog> catalog_;
    std::unique_ptr<impl> impl_;
    friend struct mssx_batch_runner;
    void use_database(const std::string& name);
    mssx_outcome run_batch(const std::string& batch, bool stream, const std::vector<mssx_parameter>& params);
};

// A value left in its table, read in pieces: the bytes of a text are UTF-8.
// It reads what the table holds now; a change of the row ends it.
class mssx_stored_reader {
public:
    // Throws mssx_error when the value is no longer there.
    mssx_stored_reader(mssx_connection& c, const mssx_stored_ref& ref);
    ~mssx_stored_reader();
    mssx_stored_reader(const mssx_stored_reader&) = delete;
    mssx_stored_reader& operator=(const mssx_stored_reader&) = delete;

    uint64_t size() const { return size_; }
    // Up to n bytes from `offset`; the count read, 0 at the end. Throws mssx_error.
    size_t read(uint64_t offset, void* data, size_t n);

private:
    sqlite3_blob* blob_ = nullptr;
    uint64_t size_ = 0;
};

// Result column helpers for the catalog answers.
mssx_result_column mssx_col(const std::string& name, const std::string& type_text, bool nullable = true);
