// Numbers as numbers, locks between sessions, and what survives a killed process.
#include "tests/platform/oci/oci_fixture.h"

#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace oci_test;

TEST_F(OciTest, NumbersSortAndCompareAsNumbers)
{
    exec("CREATE TABLE \"N\" (\"V\" NUMBER)");
    for (const char* v : {"10", "2.5", "-0.75", "123456789012.5", "1e100"})
        exec(std::string("INSERT INTO \"N\" VALUES(") + v + ")");
    auto rows = c.rows("SELECT \"V\" FROM \"N\" WHERE \"V\" > 2.4 ORDER BY \"V\"");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0], "2.5");
    EXPECT_EQ(rows[1][0], "10");
    EXPECT_EQ(rows[2][0], "123456789012.5");
    EXPECT_EQ(rows[3][0], "1E+100");
    EXPECT_EQ(c.rows("SELECT \"V\" FROM \"N\" WHERE \"V\" = -.75")[0][0], "-.75");
}

TEST_F(OciTest, LockHeldTooLongGivesOra54)
{
    eora::session::set_lock_timeout_ms(100);
    exec("CREATE TABLE \"L\" (\"V\" NUMBER)");
    client other;
    ASSERT_EQ(other.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS);
    exec("INSERT INTO \"L\" VALUES(1)");
    EXPECT_EQ(other.run("INSERT INTO \"L\" VALUES(2)"), 54);
    EXPECT_EQ(other.run("DROP TABLE \"L\" CASCADE CONSTRAINTS"), 54);
    EXPECT_EQ(other.error(), "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    // Any DDL on the table waits for the other session's changes the same way.
    EXPECT_EQ(other.run("ALTER TABLE \"L\" ADD CONSTRAINT \"L_U\" UNIQUE (\"V\")"), 54);
    EXPECT_EQ(other.run("CREATE INDEX \"L_V\" ON \"L\" (\"V\")"), 54);
    EXPECT_EQ(other.run("TRUNCATE TABLE \"L\""), 54);
    exec("COMMIT");
    EXPECT_EQ(other.run("INSERT INTO \"L\" VALUES(2)", OCI_COMMIT_ON_SUCCESS), 0);
    EXPECT_EQ(other.rows("SELECT COUNT(*) FROM \"L\"")[0][0], "2");
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"L\"")[0][0], "2");
    eora::session::set_lock_timeout_ms(3000);
}

TEST_F(OciTest, ResultsCloseWithTheirSession)
{
    exec("CREATE TABLE \"S\" (\"V\" NUMBER)");
    exec("INSERT INTO \"S\" VALUES(1)");
    OCIStmt* st = nullptr;
    OCIHandleAlloc(c.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::u16string t = u16("SELECT \"V\" FROM \"S\"");
    OCIStmtPrepare(st, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                   OCI_NTV_SYNTAX, OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(c.svc, st, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCISessionEnd(c.svc, c.err, c.ses, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST(OciDurability, KilledProcessKeepsCommittedRowsOnly)
{
    service_dir dir;
    {
        client c;
        ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
        ASSERT_EQ(c.run("CREATE TABLE \"K\" (\"V\" NUMBER)"), 0);
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        client c;
        if (c.connect(dir.ds(), "system", "manager") != OCI_SUCCESS) _exit(1);
        for (int i = 0; i < 50; ++i)
            c.run("INSERT INTO \"K\" VALUES(" + std::to_string(i) + ")", OCI_COMMIT_ON_SUCCESS);
        for (int i = 50; i < 60; ++i) c.run("INSERT INTO \"K\" VALUES(" + std::to_string(i) + ")");
        char x = 'x';
        if (write(fds[1], &x, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char x = 0;
    ASSERT_EQ(read(fds[0], &x, 1), 1);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(fds[0]);
    close(fds[1]);
    client c;
    ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
    auto n = c.rows("SELECT COUNT(*), MAX(\"V\") FROM \"K\"");
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0][0], "50");
    EXPECT_EQ(n[0][1], "49");
    EXPECT_EQ(c.run("INSERT INTO \"K\" VALUES(99)", OCI_COMMIT_ON_SUCCESS), 0);
}

TEST(OciSettings, IdentifierLimitCanBeRaised)
{
    service_dir dir;
    {
        client c;
        ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
        EXPECT_EQ(c.run("CREATE TABLE \"" + std::string(40, 'T') + "\" (\"A\" NUMBER)"), 972);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir.dir / "ORCL.db").string().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "UPDATE _ora_settings SET value='128' WHERE name='max_identifier_length'", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
    client c;
    ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
    EXPECT_EQ(c.run("CREATE TABLE \"" + std::string(40, 'T') + "\" (\"A\" NUMBER)"), 0) << c.error();
    EXPECT_EQ(c.run("CREATE TABLE \"" + std::string(129, 'U') + "\" (\"A\" NUMBER)"), 972);
}

TEST_F(OciTest, ParseOnlyChecksAndRunsNothing)
{
    exec("CREATE TABLE \"P\" (\"V\" NUMBER)");
    EXPECT_EQ(c.run("SELECT \"V\" FROM \"P\" ORDER BY 1", OCI_PARSE_ONLY), 0);
    EXPECT_EQ(c.run("SELECT \"NOPE\" FROM \"P\"", OCI_PARSE_ONLY), 904);
    EXPECT_EQ(c.run("INSERT INTO \"P\" VALUES(1)", OCI_PARSE_ONLY), 0);
    EXPECT_EQ(c.run("DROP TABLE \"P\" CASCADE CONSTRAINTS", OCI_PARSE_ONLY), 0);
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"P\"")[0][0], "0");
}

TEST(OciSettings, ServiceFileIsReadableByItsOwnerOnly)
{
    service_dir dir;
    {
        client c;
        ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
        EXPECT_EQ(c.run("CREATE TABLE \"M\" (\"A\" NUMBER)", OCI_COMMIT_ON_SUCCESS), 0);
    }
    for (const char* name : {"ORCL.db", "ORCL.db-wal"}) {
        struct stat st {};
        if (::stat((dir.dir / name).c_str(), &st) != 0) continue; // the WAL is gone once checkpointed
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

// Row commits do not wait for the disk; the next table's DDL and the end of the
// session sync what was committed, so a finished table survives a power loss.
TEST(OciDurability, CommittedWorkIsSyncedAtDdlAndSessionEnd)
{
    service_dir dir;
    const std::string file = (dir.dir / "ORCL.db").string();
    long before = 0;
    {
        eora::session s(file, "SYSTEM", "manager");
        s.execute(*s.prepare("CREATE TABLE \"T\" (\"V\" NUMBER)"), {});
        before = eora::session::disk_syncs();
        for (int i = 0; i < 50; ++i) {
            s.execute(*s.prepare("INSERT INTO \"T\" VALUES(" + std::to_string(i) + ")"), {});
            s.commit();
        }
        EXPECT_EQ(eora::session::disk_syncs(), before);
        s.execute(*s.prepare("CREATE TABLE \"U\" (\"V\" NUMBER)"), {});
        EXPECT_EQ(eora::session::disk_syncs(), before + 1);
        // A query writes nothing, so it syncs nothing either.
        s.execute(*s.prepare("SELECT COUNT(*) FROM \"T\""), {});
        EXPECT_EQ(eora::session::disk_syncs(), before + 1);
    }
    EXPECT_EQ(eora::session::disk_syncs(), before + 2);
    {
        // Opening and closing without writing syncs nothing.
        eora::session idle(file, "SYSTEM", "manager");
    }
    EXPECT_EQ(eora::session::disk_syncs(), before + 2);
}
