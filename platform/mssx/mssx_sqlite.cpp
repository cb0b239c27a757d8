#include "platform/mssx/mssx_sqlite.h"
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

// SQL Server's own errors for a database it cannot read: the operating system's
// read failed (823), or what was read is not a consistent page (824); both of
// severity 24, a fault of the storage, not of the statement.
constexpr int k_msg_read_failed = 823;
constexpr int k_msg_inconsistent_page = 824;
constexpr int k_severity_storage = 24;

// A failure of the database file itself is raised as such; any other returns.
void check_storage(const embedded::sqlite_error& e)
{
    switch (e.code() & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        throw mssx_error(k_msg_inconsistent_page,
                         std::string("SQL Server detected a logical consistency-based I/O error reading the "
                                     "database: ") +
                             e.what(),
                         k_severity_storage);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        throw mssx_error(
            k_msg_read_failed,
            std::string("The operating system returned an error to SQL Server reading the database: ") + e.what(),
            k_severity_storage);
    default:
        return;
    }
}

// Storage failures are reported as a server-side severity 16 error.
[[noreturn]] void fail(const std::string& what, const embedded::sqlite_error& e)
{
    check_storage(e);
    throw mssx_error(50000, what + ": " + e.what());
}
} // namespace

void mssx_sqlite::open(const std::string& path, bool create)
{
    if (create) embedded::create_private_file(path);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    try {
        db_.open(path, flags);
    } catch (const embedded::sqlite_error& e) {
        fail("cannot open " + path, e);
    }
    sqlite3_busy_timeout(db_.get(), 10000);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
}

void mssx_sqlite::exec(const std::string& sql)
{
    try {
        db_.exec(sql);
    } catch (const embedded::sqlite_error& e) {
        check_storage(e);
        raise_error(50000, e.what());
    }
}

mssx_stmt mssx_sqlite::prepare(const std::string& sql)
{
    try {
        return mssx_stmt(db_.prepare(sql));
    } catch (const embedded::sqlite_error& e) {
        fail("prepare", e);
    }
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
    try {
        return s_.step();
    } catch (const embedded::sqlite_error& e) {
        check_storage(e);
        raise_error(e.code() == SQLITE_CONSTRAINT_UNIQUE || e.code() == SQLITE_CONSTRAINT_PRIMARYKEY ? -2627 : 50000,
                    e.what());
    }
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
