#include "platform/mssx/mssx_sqlite.h"
#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>
#include "platform/mssx/mssx_error.h"

namespace {
// An error raised by one of the server's own SQL functions carries its number: "mssx#8114#text".
[[noreturn]] void raise_error(int number, const std::string& msg)
{
    if (msg.rfind("mssx#", 0) == 0) {
        size_t hash = msg.find('#', 5);
        if (hash != std::string::npos) throw mssx_error(std::atoi(msg.c_str() + 5), msg.substr(hash + 1));
    }
    throw mssx_error(number, msg);
}

[[noreturn]] void fail(sqlite3* db, const std::string& what)
{
    // Storage failures are reported as a server-side severity 16 error.
    throw mssx_error(50000, what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}
} // namespace

void mssx_sqlite::open(const std::string& path, bool create)
{
    // the server's files hold passwords and data: only their owner may read them
    // (SQLite gives the WAL and shared-memory files the mode of the database file)
    if (create)
        if (int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); fd >= 0) ::close(fd);
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) fail(db, "cannot open " + path);
    sqlite3_busy_timeout(db, 10000);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
}

void mssx_sqlite::exec(const std::string& sql)
{
    char* msg = nullptr;
    int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        std::string m = msg ? msg : "error";
        sqlite3_free(msg);
        raise_error(50000, m);
    }
}

mssx_stmt mssx_sqlite::prepare(const std::string& sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &s, nullptr) != SQLITE_OK)
        fail(db_.get(), "prepare");
    return mssx_stmt(s);
}

mssx_stmt& mssx_stmt::bind(int i, const mssx_value& v)
{
    sqlite3_stmt* s = s_.get();
    if (std::holds_alternative<std::monostate>(v))
        sqlite3_bind_null(s, i);
    else if (auto p = std::get_if<int64_t>(&v))
        sqlite3_bind_int64(s, i, *p);
    else if (auto d = std::get_if<double>(&v))
        sqlite3_bind_double(s, i, *d);
    else if (auto t = std::get_if<std::string>(&v))
        sqlite3_bind_text(s, i, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    else if (auto b = std::get_if<mssx_blob>(&v))
        sqlite3_bind_blob(s, i, b->bytes.data(), static_cast<int>(b->bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

bool mssx_stmt::step()
{
    int rc = sqlite3_step(s_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3* db = sqlite3_db_handle(s_.get());
    int ext = sqlite3_extended_errcode(db);
    std::string msg = sqlite3_errmsg(db);
    sqlite3_reset(s_.get());
    raise_error(ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY ? -2627 : 50000, msg);
}

mssx_value mssx_stmt::column(int i) const
{
    sqlite3_stmt* s = s_.get();
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
        return sqlite3_column_int64(s, i);
    case SQLITE_FLOAT:
        return sqlite3_column_double(s, i);
    case SQLITE_TEXT:
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                           static_cast<size_t>(sqlite3_column_bytes(s, i)));
    case SQLITE_BLOB: {
        const char* p = static_cast<const char*>(sqlite3_column_blob(s, i));
        return mssx_blob{std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, i)))};
    }
    default:
        return std::monostate{};
    }
}

std::string mssx_stmt::text(int i) const
{
    const unsigned char* p = sqlite3_column_text(s_.get(), i);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(s_.get(), i)))
             : std::string();
}
