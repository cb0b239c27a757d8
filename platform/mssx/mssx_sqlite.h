// SQLite for the embedded server: the shared connection and statement, with
// values as the server holds them and failures as its errors.
#pragma once
#include <sqlite3.h>
#include <string>
#include <utility>
#include "platform/embedded/embedded_quote.h"
#include "platform/embedded/embedded_sqlite.h"
#include "platform/mssx/mssx_value.h"

class mssx_stmt {
public:
    mssx_stmt() = default;
    explicit mssx_stmt(embedded::sqlite_stmt s) : s_(std::move(s)) {}
    sqlite3_stmt* get() const { return s_.get(); }
    mssx_stmt& bind(int i, const mssx_value& v);
    mssx_stmt& bind(int i, const std::string& s) { return bind(i, mssx_value(s)); }
    mssx_stmt& bind(int i, int64_t n) { return bind(i, mssx_value(n)); }
    bool step(); // true while a row is there; throws on error
    void reset() { s_.reset(); }
    mssx_value column(int i) const;
    std::string text(int i) const;
    int64_t integer(int i) const { return sqlite3_column_int64(s_.get(), i); }
    bool is_null(int i) const { return sqlite3_column_type(s_.get(), i) == SQLITE_NULL; }
    int columns() const { return sqlite3_column_count(s_.get()); }

private:
    embedded::sqlite_stmt s_;
};

class mssx_sqlite {
public:
    mssx_sqlite() = default;
    // Opens (creating when asked) a database file in WAL mode with a busy timeout.
    void open(const std::string& path, bool create);
    bool is_open() const { return db_.is_open(); }
    sqlite3* get() const { return db_.get(); }
    void exec(const std::string& sql);
    mssx_stmt prepare(const std::string& sql);
    int64_t changes() const { return sqlite3_changes64(db_.get()); }

private:
    embedded::sqlite_db db_;
};

// Quoting for SQLite, shared with the embedded Oracle.
inline constexpr auto& mssx_sq_ident = embedded::quote_ident;
inline constexpr auto& mssx_sq_literal = embedded::quote_literal;
