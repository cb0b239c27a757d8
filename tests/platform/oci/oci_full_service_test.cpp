// A service that can grow no more answers as Oracle's full tablespace does,
// for the table, the index and the LOB segment, and keeps what it committed.
#include "tests/platform/oci/oci_fixture.h"

#include <sqlite3.h>

using namespace oci_test;

namespace {

int64_t page_count(const std::filesystem::path& file)
{
    sqlite3* db = nullptr;
    int64_t n = -1;
    if (sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

class OciFullService : public OciTest {
protected:
    // A second client that opens the service once it is limited to `spare` more pages.
    void limit(int64_t spare)
    {
        const auto file = svc_dir.dir / "ORCL.db";
        const int64_t now = page_count(file);
        ASSERT_GT(now, 0);
        eora::session::set_size_limit(file.string(), now + spare);
        ASSERT_EQ(full.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS) << full.error();
    }
    // Inserts committed rows until one is refused; the refusal's ORA number.
    int fill(const std::string& table, int* stored)
    {
        const std::string wide(3000, 'x');
        for (int i = 0; i < 100000; ++i) {
            int rc = full.run("INSERT INTO \"" + table + "\" VALUES(" + std::to_string(i) + ", '" + wide + "')",
                              OCI_COMMIT_ON_SUCCESS);
            if (rc != 0) return rc;
            ++*stored;
        }
        return 0;
    }
    client full;
};

} // namespace

TEST_F(OciFullService, TableThatCannotGrowIsOra1653AndEveryLaterRowToo)
{
    exec("CREATE TABLE \"T\" (\"ID\" NUMBER, \"V\" VARCHAR2(4000))");
    limit(40);
    int stored = 0;
    EXPECT_EQ(fill("T", &stored), 1653);
    EXPECT_GT(stored, 0);
    EXPECT_NE(full.error().find("ORA-01653: unable to extend table SYSTEM.T by "), std::string::npos) << full.error();
    EXPECT_NE(full.error().find(" in tablespace USERS"), std::string::npos) << full.error();
    // The next row meets the same wall; what was committed stays, seen from another session.
    EXPECT_EQ(full.run("INSERT INTO \"T\" VALUES(-1, '" + std::string(3000, 'y') + "')", OCI_COMMIT_ON_SUCCESS), 1653);
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"T\"")[0][0], std::to_string(stored));
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"T\" WHERE \"ID\" < 0")[0][0], "0");
    // The session is still usable: it reads, and commits what fits nowhere else.
    EXPECT_EQ(full.rows("SELECT COUNT(*) FROM \"T\"")[0][0], std::to_string(stored));
}

TEST_F(OciFullService, IndexThatCannotBeBuiltIsOra1654)
{
    exec("CREATE TABLE \"I\" (\"ID\" NUMBER, \"V\" VARCHAR2(4000))");
    for (int i = 0; i < 40; ++i)
        exec("INSERT INTO \"I\" VALUES(" + std::to_string(i) + ", '" +
             std::string(3000, static_cast<char>('a' + i % 26)) + std::to_string(i) + "')");
    exec("COMMIT");
    limit(3);
    EXPECT_EQ(full.run("CREATE INDEX \"IX_I_V\" ON \"I\" (\"V\")"), 1654);
    EXPECT_NE(full.error().find("ORA-01654: unable to extend index SYSTEM.IX_I_V by "), std::string::npos)
        << full.error();
    EXPECT_TRUE(c.rows("SELECT INDEX_NAME FROM USER_INDEXES WHERE INDEX_NAME = 'IX_I_V'").empty());
}

TEST_F(OciFullService, LobThatCannotGrowIsOra1691)
{
    exec("CREATE TABLE \"L\" (\"ID\" NUMBER, \"C\" CLOB)");
    exec("INSERT INTO \"L\" VALUES(1, EMPTY_CLOB())");
    exec("COMMIT");
    limit(5);
    OCIStmt* st = nullptr;
    OCIHandleAlloc(full.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::u16string sql = u16("SELECT \"C\" FROM \"L\" WHERE \"ID\" = 1 FOR UPDATE");
    ASSERT_EQ(OCIStmtPrepare(st, full.err, reinterpret_cast<const OraText*>(sql.data()),
                             static_cast<ub4>(sql.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT),
              OCI_SUCCESS);
    OCILobLocator* loc = nullptr;
    OCIDescriptorAlloc(full.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
    OCIDefine* d = nullptr;
    OCIDefineByPos(st, &d, full.err, 1, &loc, sizeof loc, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(full.svc, st, full.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << full.error();
    std::u16string big(200000, u'z');
    ub4 amount = static_cast<ub4>(big.size());
    EXPECT_EQ(OCILobWrite(full.svc, full.err, loc, &amount, 1, big.data(), static_cast<ub4>(big.size() * 2),
                          OCI_ONE_PIECE, nullptr, nullptr, OCI_UTF16ID, SQLCS_IMPLICIT),
              OCI_ERROR);
    EXPECT_EQ(full.error_code(), 1691);
    EXPECT_NE(full.error().find("ORA-01691: unable to extend lob segment SYSTEM.SYS_LOB"), std::string::npos)
        << full.error();
    OCIDescriptorFree(loc, OCI_DTYPE_LOB);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    full.run("ROLLBACK");
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"L\"")[0][0], "1");
}
