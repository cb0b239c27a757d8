// The SQLite connection and statement both embedded servers store their data
// through. A failing call raises sqlite_error; each server turns it into an
// error of its own dialect.
#pragma once
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace embedded {

class sqlite_error : public std::runtime_error {
public:
    sqlite_error(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const noexcept { return code_; } // SQLite's extended result code

private:
    int code_;
};

// A prepared statement, finalized when it goes.
class sqlite_stmt {
public:
    sqlite_stmt() = default;
    explicit sqlite_stmt(sqlite3_stmt* s) : s_(s) {}
    sqlite_stmt(sqlite_stmt&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
    sqlite_stmt& operator=(sqlite_stmt&& o) noexcept;
    sqlite_stmt(const sqlite_stmt&) = delete;
    sqlite_stmt& operator=(const sqlite_stmt&) = delete;
    ~sqlite_stmt();

    sqlite3_stmt* get() const { return s_; }
    // Hands the statement over to a new owner.
    sqlite3_stmt* release();
    // True while a row is there, false when done. On an error the statement
    // is reset and sqlite_error carries the code and message of the failure.
    bool step();
    // Ready to run again, with no values bound.
    void reset();

private:
    sqlite3_stmt* s_ = nullptr;
};

// A connection, closed when it goes.
class sqlite_db {
public:
    sqlite_db() = default;
    sqlite_db(sqlite_db&& o) noexcept : db_(o.db_) { o.db_ = nullptr; }
    sqlite_db& operator=(sqlite_db&& o) noexcept;
    sqlite_db(const sqlite_db&) = delete;
    sqlite_db& operator=(const sqlite_db&) = delete;
    ~sqlite_db();

    // Opens `path` with sqlite3_open_v2's `flags`; on failure nothing stays open.
    void open(const std::string& path, int flags);
    bool is_open() const { return db_ != nullptr; }
    sqlite3* get() const { return db_; }
    // Runs statements that give no rows.
    void exec(const std::string& sql);
    // `prep_flags` as sqlite3_prepare_v3 takes them (SQLITE_PREPARE_PERSISTENT).
    sqlite_stmt prepare(const std::string& sql, unsigned prep_flags = 0);

private:
    sqlite3* db_ = nullptr;
};

// Creates `path` with mode 0600 when it does not exist yet: the servers' files
// hold passwords, and SQLite gives a database's journal, WAL and shared-memory
// files the mode of the database file.
void create_private_file(const std::string& path);

} // namespace embedded
