// A session of the embedded Oracle: one SQLite connection to a service file,
// logged on as one user, running the Oracle SQL the product sends.
#pragma once
#include "platform/eora/eora_lexer.h"
#include "platform/eora/eora_types.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace eora {

struct result_column {
    std::string name;
    col_type type;
    bool nullable = true;
};

struct table_meta;
struct plan_stmt;
class session;
struct statement;
struct exec_result;

// Rows of one query, fetched one at a time.
class cursor {
public:
    cursor(sqlite3_stmt* st, std::vector<result_column> cols, std::vector<std::shared_ptr<table_meta>> srcs,
           int lob_rowid_col, std::string lob_table);
    // Reads through a kept statement, given back ready to run again at the end.
    cursor(std::shared_ptr<plan_stmt> kept, std::vector<result_column> cols,
           std::vector<std::shared_ptr<table_meta>> srcs, int lob_rowid_col, std::string lob_table);
    ~cursor();
    cursor(const cursor&) = delete;
    cursor& operator=(const cursor&) = delete;

    const std::vector<result_column>& columns() const { return cols_; }
    // Moves to the next row; false at the end.
    bool next();
    const std::vector<value>& row() const { return row_; }

private:
    friend struct cursor_access;
    bool step_into(std::vector<value>& out);
    sqlite3_stmt* st_;
    std::shared_ptr<plan_stmt> kept_; // owns st_ when set
    std::vector<result_column> cols_;
    std::vector<std::shared_ptr<table_meta>> srcs_;
    int lob_rowid_col_; // hidden column holding the row of FOR UPDATE queries, -1 if none
    std::string lob_table_;
    bool peeked_ = false, peek_ok_ = false, done_ = false;
    std::vector<value> peek_, row_;
};

struct statement {
    std::string sql;
    std::vector<token> toks;
    std::string verb;               // first keyword: SELECT, INSERT, CREATE, ...
    bool query = false;             // SELECT / WITH
    std::vector<std::string> binds; // placeholder names in order of appearance
};

struct exec_result {
    std::unique_ptr<cursor> cur;     // queries
    int64_t rows = 0;                // DML rows
    std::vector<std::string> rowids; // RETURNING ROWID
    int info = 0;                    // ORA number of a success with information (24344)
    std::string info_text;
};

struct service_settings {
    size_t max_ident = 30;
    int64_t max_pages = 0;              // 0: as large as the disk allows
    std::string charset = "AL32UTF8";   // the database character set
    std::string ncharset = "AL16UTF16"; // the national character set
    std::string banner = "Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production";
};

class session {
public:
    // Opens `file` (a service) and logs on; ORA-12514 when the file is not a
    // service, ORA-01017 on a wrong user or password.
    session(const std::string& file, const std::string& user, const std::string& password);
    ~session();
    session(const session&) = delete;
    session& operator=(const session&) = delete;

    const std::string& user() const { return user_; }
    const service_settings& settings() const { return settings_; }

    // Tokenizes and classifies; syntax errors of the text itself raise here.
    std::unique_ptr<statement> prepare(std::string_view sql) const;
    // Runs one statement with one set of bind values. parse_only checks and runs nothing.
    // `commit_after` tells that a commit follows success at once (a lone
    // insert then needs no transaction of its own).
    exec_result execute(const statement& st, const std::vector<value>& binds, bool parse_only = false,
                        bool commit_after = false);
    void commit();
    // A commit the client asked for by itself (not one that ends a statement).
    // With no transaction open it ends a unit of work, such as a table's
    // rows: what was committed goes to disk and the file is shared again.
    void commit_work();
    void rollback();

    // Writes a whole LOB value (UTF-8 text or bytes) through a locator target;
    // a value written in pieces goes through a lob_writer.
    void write_lob(const lob_target& t, const std::string& data, bool is_text);
    // The value a locator target holds now (UTF-8 text or bytes).
    std::string read_lob(const lob_target& t);

    // Creates the service file with SYS and SYSTEM users; fails if it exists.
    // `charset` is its database character set, `ncharset` its national one
    // (ORA-12715 and ORA-12714 for a set the embedded Oracle does not know).
    static void create_service(const std::string& file, const std::string& system_password,
                               const std::string& charset = "AL32UTF8", const std::string& ncharset = "AL16UTF16");

    // Lock wait before ORA-00054, in milliseconds (all new sessions).
    static void set_lock_timeout_ms(int ms);
    // Test hook: sessions opened later may grow the service file to `pages`
    // pages only (0: no limit), so a full disk can be had on demand.
    static void set_size_limit(const std::string& file, int64_t pages);
    // How often committed work was synced to disk in this process.
    static long disk_syncs() { return disk_syncs_.load(); }
    // Test hook: sessions opened later translate and prepare every query
    // afresh, literals in place (false), instead of keeping plans (true).
    static void set_query_reuse(bool on);
    // SQLite statements the connection holds prepared now.
    size_t prepared_statements() const;

public:
    struct impl;

private:
    friend class lob_writer;
    static std::atomic<long> disk_syncs_;
    std::unique_ptr<impl> p_;
    std::string user_;
    service_settings settings_;
};

} // namespace eora
