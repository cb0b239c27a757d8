#include "platform/embedded/embedded_sqlite.h"

#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace embedded {

sqlite_stmt& sqlite_stmt::operator=(sqlite_stmt&& o) noexcept
{
    std::swap(s_, o.s_);
    return *this;
}

sqlite_stmt::~sqlite_stmt()
{
    if (s_) sqlite3_finalize(s_);
}

sqlite3_stmt* sqlite_stmt::release() { return std::exchange(s_, nullptr); }

bool sqlite_stmt::step()
{
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // the code and message go with the reset, so take them first
    sqlite3* db = sqlite3_db_handle(s_);
    sqlite_error e(sqlite3_extended_errcode(db), sqlite3_errmsg(db));
    sqlite3_reset(s_);
    throw e;
}

void sqlite_stmt::reset()
{
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

sqlite_db& sqlite_db::operator=(sqlite_db&& o) noexcept
{
    std::swap(db_, o.db_);
    return *this;
}

sqlite_db::~sqlite_db()
{
    // close_v2: statements a caller still holds finalize the connection's close
    if (db_) sqlite3_close_v2(db_);
}

void sqlite_db::open(const std::string& path, int flags)
{
    if (db_) sqlite3_close_v2(std::exchange(db_, nullptr));
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite_error e(db ? sqlite3_extended_errcode(db) : rc, db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        throw e;
    }
    db_ = db;
}

void sqlite_db::exec(const std::string& sql)
{
    char* msg = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg);
    if (rc == SQLITE_OK) return;
    sqlite_error e(sqlite3_extended_errcode(db_), msg ? msg : sqlite3_errstr(rc));
    sqlite3_free(msg);
    throw e;
}

sqlite_stmt sqlite_db::prepare(const std::string& sql, unsigned prep_flags)
{
    sqlite3_stmt* s = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), prep_flags, &s, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        throw sqlite_error(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
    }
    return sqlite_stmt(s);
}

void create_private_file(const std::string& path)
{
    if (int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); fd >= 0) ::close(fd);
}

} // namespace embedded
