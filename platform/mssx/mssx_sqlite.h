// A thin RAII layer over SQLite for the embedded server.
#pragma once
#include <sqlite3.h>
#include <memory>
#include <string>
#include "platform/embedded/embedded_quote.h"
#include "platform/mssx/mssx_value.h"

struct mssx_sqlite_closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct mssx_stmt_finalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

class mssx_stmt {
public:
    mssx_stmt() = default;
    explicit mssx_stmt(sqlite3_stmt* s) : s_(s) {}
    sqlite3_stmt* get() const { return s_.get(); }
    mssx_stmt& bind(int i, const mssx_value& v);
    mssx_stmt& bind(int i, const std::string& s) { return bind(i, mssx_value(s)); }
    mssx_stmt& bind(int i, int64_t n) { return bind(i, mssx_value(n)); }
    bool step(); // true while a row is there; throws on error
    void reset()
    {
        sqlite3_reset(s_.get());
        sqlite3_clear_bindings(s_.get());
    }
    mssx_value column(int i) const;
    std::string text(int i) const;
    int64_t integer(int i) const { return sqlite3_column_int64(s_.get(), i); }
    bool is_null(int i) const { return sqlite3_column_type(s_.get(), i) == SQLITE_NULL; }
    int columns() const { return sqlite3_column_count(s_.get()); }

private:
    std::unique_ptr<sqlite3_stmt, mssx_stmt_finalizer> s_;
};

class mssx_sqlite {
public:
    mssx_sqlite() = default;
    // Opens (creating when asked) a database file in WAL mode with a busy timeout.
    void open(const std::string& path, bool create);
    bool is_open() const { return db_ != nullptr; }
    sqlite3* get() const { return db_.get(); }
    void exec(const std::string& sql);
    mssx_stmt prepare(const std::string& sql);
    int64_t changes() const { return sqlite3_changes64(db_.get()); }

private:
    std::unique_ptr<sqlite3, mssx_sqlite_closer> db_;
};

// Quoting for SQLite, shared with the embedded Oracle.
inline constexpr auto& mssx_sq_ident = embedded::quote_ident;
inline constexpr auto& mssx_sq_literal = embedded::quote_literal;
