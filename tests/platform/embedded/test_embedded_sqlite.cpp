#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/embedded/embedded_sqlite.h"

using embedded::sqlite_db;
using embedded::sqlite_error;
using embedded::sqlite_stmt;

namespace {

// A folder of the test's own, removed at the end.
class temp_dir {
public:
    temp_dir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tvx-embedded-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        path_ = tmpl;
    }
    ~temp_dir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

sqlite_db memory_db()
{
    sqlite_db db;
    db.open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT UNIQUE)");
    return db;
}

unsigned mode_of(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 0777u;
}

} // namespace

TEST(EmbeddedSqlite, BadStatementIsRefusedWithSqlitesMessage)
{
    sqlite_db db = memory_db();
    try {
        db.prepare("SELEC name FROM t");
        FAIL() << "a statement that does not parse was prepared";
    } catch (const sqlite_error& e) {
        EXPECT_EQ(e.code(), SQLITE_ERROR);
        EXPECT_NE(std::string(e.what()).find("syntax error"), std::string::npos) << e.what();
    }
    try {
        db.prepare("SELECT nosuch FROM t");
        FAIL() << "a statement naming a missing column was prepared";
    } catch (const sqlite_error& e) {
        EXPECT_EQ(std::string(e.what()), "no such column: nosuch");
    }
    try {
        db.exec("INSERT INTO t VALUES(1, 'a'); INSERT INTO nosuch VALUES(2)");
        FAIL() << "exec of a missing table succeeded";
    } catch (const sqlite_error& e) {
        EXPECT_EQ(std::string(e.what()), "no such table: nosuch");
    }
    // the connection goes on after each refusal
    sqlite_stmt st = db.prepare("SELECT count(*) FROM t");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(sqlite3_column_int(st.get(), 0), 1);
}

TEST(EmbeddedSqlite, FailedStepCarriesTheExtendedCodeAndLeavesTheStatementReusable)
{
    sqlite_db db = memory_db();
    sqlite_stmt ins = db.prepare("INSERT INTO t(name) VALUES(?1)");
    sqlite3_bind_text(ins.get(), 1, "x", -1, SQLITE_TRANSIENT);
    EXPECT_FALSE(ins.step());
    ins.reset();
    sqlite3_bind_text(ins.get(), 1, "x", -1, SQLITE_TRANSIENT);
    try {
        ins.step();
        FAIL() << "a duplicate of a unique name was stored";
    } catch (const sqlite_error& e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_UNIQUE);
        EXPECT_NE(std::string(e.what()).find("t.name"), std::string::npos) << e.what();
    }
    ins.reset(); // clears the bindings too: NULL is no duplicate
    EXPECT_FALSE(ins.step());
    sqlite_stmt q = db.prepare("SELECT count(*), count(name) FROM t");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(sqlite3_column_int(q.get(), 0), 2);
    EXPECT_EQ(sqlite3_column_int(q.get(), 1), 1);
    EXPECT_FALSE(q.step());
}

TEST(EmbeddedSqlite, StatementOwnershipMoves)
{
    sqlite_db db = memory_db();
    sqlite_stmt a = db.prepare("SELECT 1");
    sqlite3_stmt* raw = a.get();
    sqlite_stmt b = std::move(a);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(b.get(), raw);
    sqlite3_stmt* taken = b.release();
    EXPECT_EQ(b.get(), nullptr);
    EXPECT_EQ(taken, raw);
    sqlite3_finalize(taken);
}

TEST(EmbeddedSqlite, OpeningAMissingFileWithoutCreateFailsAndLeavesNothingOpen)
{
    temp_dir dir;
    sqlite_db db;
    EXPECT_THROW(db.open(dir.file("missing.db"), SQLITE_OPEN_READWRITE), sqlite_error);
    EXPECT_FALSE(db.is_open());
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));
}

TEST(EmbeddedSqlite, PrivateFileIsCreatedForItsOwnerOnlyAndAnExistingFileIsLeftAlone)
{
    temp_dir dir;
    const std::string path = dir.file("server.db");
    embedded::create_private_file(path);
    EXPECT_EQ(mode_of(path), 0600u);
    {
        sqlite_db db;
        db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec("PRAGMA journal_mode=WAL; CREATE TABLE s(pw TEXT); INSERT INTO s VALUES('secret')");
        // the log SQLite writes beside it takes the file's mode
        EXPECT_EQ(mode_of(path + "-wal"), 0600u);
    }
    const std::string other = dir.file("other.txt");
    {
        std::ofstream(other) << "kept";
    }
    ::chmod(other.c_str(), 0644);
    embedded::create_private_file(other);
    EXPECT_EQ(mode_of(other), 0644u);
    std::ifstream in(other);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "kept");
}
